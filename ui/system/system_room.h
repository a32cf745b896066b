// The system-space page, as the window's routing sees it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "uimodel/layout_calc.h"

void SystemRoomCreate(HWND window);
void SystemRoomScale(HFONT font);
void SystemRoomLayout(const MainLayout& layout);
void SystemRoomShow(int page);
bool SystemRoomCommand(HWND window, int id, LRESULT* result);
bool SystemRoomNotify(NMHDR* header, LRESULT* result);
bool SystemRoomMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
