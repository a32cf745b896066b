// The application around the window: the window procedure, which routes
// every message to the handler of its concern (the pages in ui/, the
// privilege switch and the notification-area icon here).
#pragma once

#include <windows.h>

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// privilege.cpp
LRESULT SwitchPrivilegeMode(HWND window);

// tray.cpp
LRESULT HideToTray(HWND window);
LRESULT OnTrayIcon(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
void RestoreFromTray(HWND window);
LRESULT OnDestroy(HWND window);
