#pragma once

// Resource and control ids of the main dialog, shared by the dialog templates (config/*.rc)
// and the window that drives them. Plain macros, so that the resource compiler reads them too.

#define IDD_MAIN_DIALOG 103

#define IDC_DRIVER_LIST 1000
#define IDC_PRINTER_NAME 1001
#define IDC_DEFAULT_PRINTER 1002
#define IDC_PORT_HINT 1003
#define IDC_PORT_TYPE_LIST 1004
#define IDC_PROGRESS 1007
#define IDC_PORT_GROUP 1008
#define IDC_DRIVER_LABEL 1009
#define IDC_PRINTER_LABEL 1010
#define IDC_STATUS_LINE 1011
#define IDC_INSTALL 1012
