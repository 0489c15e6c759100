#pragma once

// Resource and control ids of the serial prompt (dialog 136), shared by its template
// (config/serial_prompt.rc) and the code that runs it. Plain macros for the resource compiler.

#define IDD_SERIAL_PROMPT 136
#define IDC_SERIAL_YES 1030
#define IDC_BAUD_LIST 1034
#define IDC_SERIAL_NO 1036

// Resource type of a dialog's initialisation data (RT_DLGINIT).
#define RT_DIALOG_INIT 240
