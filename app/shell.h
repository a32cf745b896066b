// The application around the window: the window procedure and the routing
// table that hands each message to the shell or to the page it belongs to
// (ui/), the privilege switch and the notification-area icon.
#pragma once

#include <windows.h>
#include <commctrl.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// rooms.cpp: the passes over every page, and the routing.
LRESULT OnCreate(HWND window);
LRESULT OnSize(HWND window, int width, int height);
// WM_DPICHANGED: the new DPI, as start-up would set it up, in the rectangle
// the system suggests.
LRESULT OnDpiChanged(HWND window, int dpi, const RECT* suggested);
LRESULT OnGetMinMaxInfo(MINMAXINFO* info);
// The page's controls shown, the others' hidden, its tab drawn as chosen.
void ShowPage(int page);
void LayoutMainWindow(int width, int height);
// What depends on g_nDpi: the controls' font, the lists' columns, the
// combo's item heights, then the layout pass.
void ApplyScale(HWND window);
LRESULT RouteCommand(HWND window, int id);
LRESULT RouteNotify(NMHDR* header);
// The pages' messages: their workers' and the shell's notes. False when no
// page takes it.
bool RoutePageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);

// privilege.cpp
LRESULT SwitchPrivilegeMode(HWND window);

// tray.cpp
LRESULT HideToTray(HWND window);
LRESULT OnTrayIcon(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RestoreFromTray(HWND window);
LRESULT OnDestroy(HWND window);
