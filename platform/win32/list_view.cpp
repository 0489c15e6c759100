#include "platform/win32/list_view.h"

#include <commctrl.h>

namespace setup::win32::list_view {

void deleteAllItems(HWND list) {
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
}

int columnCount(HWND list) {
    auto header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    return static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0));
}

void deleteColumn(HWND list, int column) {
    SendMessageA(list, LVM_DELETECOLUMN, static_cast<WPARAM>(column), 0);
}

std::uint32_t extendedStyle(HWND list) {
    return static_cast<std::uint32_t>(SendMessageA(list, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

void setExtendedStyle(HWND list, std::uint32_t style) {
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, static_cast<LPARAM>(style));
}

void insertColumn(HWND list, int column, const std::string& heading, int widthPixels) {
    LVCOLUMNA description{};
    description.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH;
    description.fmt = LVCFMT_LEFT;
    description.cx = widthPixels;
    description.pszText = const_cast<char*>(heading.c_str());
    SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&description));
}

int insertItem(HWND list, int row, const std::string& text) {
    LVITEMA item{};
    item.mask = LVIF_TEXT;
    item.iItem = row;
    item.pszText = const_cast<char*>(text.c_str());
    return static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

void setItemText(HWND list, int row, int column, const std::string& text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = const_cast<char*>(text.c_str());
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

std::string itemText(HWND list, int row, int column) {
    // The message says how much it copied, not how long the text is: grow until it fits.
    for (std::size_t size = 256;; size *= 2) {
        std::string text(size, '\0');
        LVITEMA item{};
        item.iSubItem = column;
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(size);
        auto copied = static_cast<std::size_t>(
            SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (copied + 1 < size || size >= 65536) {
            text.resize(std::min(copied, size - 1));
            return text;
        }
    }
}

int itemCount(HWND list) {
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

void select(HWND list, int row) {
    LVITEMA item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED;
    SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

bool isSelected(HWND list, int row) {
    return (SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

}  // namespace setup::win32::list_view
