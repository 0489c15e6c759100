#pragma once

// Resource and control ids of the two port dialogs, shared by their templates
// (config/setup_resources.rc), the windows that run them and the program. Plain macros, so
// that the resource compiler reads them too.

#define IDD_TCP_PORT_DIALOG 129
#define IDD_PARALLEL_PORT_DIALOG 137

#define IDC_PORT_DIALOG_LIST 1004
#define IDC_ADD_PORT 1029
#define IDC_PORT_DIALOG_LABEL 1030
#define IDC_CONFIGURE_PORT 1031
#define IDC_DELETE_PORT 1032
#define IDC_PORT_DIALOG_OK 1037
#define IDC_PORT_DIALOG_CANCEL 1039
