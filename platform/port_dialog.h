#pragma once

#include <cstdint>
#include <string>

#include "config/port_dialog_ids.h"
#include "platform/result.h"

namespace setup {

// What the user did in a port dialog. Enter and Escape are the dialog's standard keys: the
// system turns them into its OK and cancel commands, which none of the dialog's own buttons
// carry.
enum class PortDialogCommand { Ok, Cancel, AddPort, ConfigurePort, DeletePort, EnterKey, EscapeKey };

class PortDialogWindow;

// What a modal port dialog delivers to the program, on the thread that shows it.
class PortDialogEvents {
public:
    virtual ~PortDialogEvents() = default;
    virtual void onInit(PortDialogWindow& dialog) = 0;                                 // WM_INITDIALOG
    virtual void onCommand(PortDialogWindow& dialog, PortDialogCommand command) = 0;  // a button or key
    virtual void onClose(PortDialogWindow& dialog) = 0;                               // the close box
};

// A port dialog while it is shown: its port list (list view 1004), the message boxes it
// owns and its end. Rows and columns count from 0.
class PortDialogWindow {
public:
    virtual ~PortDialogWindow() = default;

    // The dialog's own window, the parent of what the spooler's port monitors show.
    virtual Handle window() = 0;

    virtual void listDeleteAllRows() = 0;
    virtual int listColumnCount() = 0;
    virtual void listDeleteColumn(int column) = 0;
    virtual std::uint32_t listExtendedStyle() = 0;
    virtual void setListExtendedStyle(std::uint32_t style) = 0;
    virtual void listInsertColumn(int column, const std::string& heading, int widthPixels) = 0;  // left-aligned
    // Inserts a row with its first column's text; returns the index the row got (a position
    // past the end appends), or -1.
    virtual int listInsertRow(int row, const std::string& text) = 0;
    virtual void listSetText(int row, int column, const std::string& text) = 0;
    virtual std::string listText(int row, int column) = 0;
    virtual int listRowCount() = 0;
    // Selected on, focused off (state LVIS_SELECTED, mask LVIS_SELECTED | LVIS_FOCUSED).
    virtual void listSelect(int row) = 0;
    virtual bool listIsSelected(int row) = 0;

    // A modal message box owned by the dialog; returns the answer (message_box::id*).
    virtual int messageBox(const std::string& text, const std::string& caption, std::uint32_t style) = 0;
    virtual void endDialog(int result) = 0;
};

}  // namespace setup
