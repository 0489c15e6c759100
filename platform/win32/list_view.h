#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

// The list-view messages the program's lists use, sent with SendMessageA. Rows and columns
// count from 0.
namespace setup::win32::list_view {

void deleteAllItems(HWND list);
int columnCount(HWND list);  // the header's items
void deleteColumn(HWND list, int column);
std::uint32_t extendedStyle(HWND list);
void setExtendedStyle(HWND list, std::uint32_t style);
void insertColumn(HWND list, int column, const std::string& heading, int widthPixels);  // left-aligned
int insertItem(HWND list, int row, const std::string& text);  // the index it got, or -1
void setItemText(HWND list, int row, int column, const std::string& text);
std::string itemText(HWND list, int row, int column);
int itemCount(HWND list);
// State LVIS_SELECTED with the mask LVIS_SELECTED | LVIS_FOCUSED.
void select(HWND list, int row);
bool isSelected(HWND list, int row);

}  // namespace setup::win32::list_view
