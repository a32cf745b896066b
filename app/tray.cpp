// Closing hides the window to a notification-area icon; the icon's menu is
// the only way to end the program.
#include "app/shell.h"
#include "ui/largefiles/largefiles_page.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/space/space_page.h"

#include "largefiles/results.h"
#include "platform/post.h"
#include "platform/system_win32.h"

#include <shellapi.h>

#include <cstdlib>

namespace {

int32_t g_bTrayIconShown = 0;

NOTIFYICONDATAW IconRecord(HWND window, bool adding) {
    NOTIFYICONDATAW data = {};
    data.cbSize = sizeof data;
    data.hWnd = window;
    data.uID = TRAY_ICON_ID;
    if (adding) {
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = MSG_TRAY_ICON;
        data.hIcon = reinterpret_cast<HICON>(SendMessageW(window, WM_GETICON, ICON_SMALL, 0));
        lstrcpynW(data.szTip, kMainWindowTitle, sizeof data.szTip / sizeof data.szTip[0]);
    }
    return data;
}

void RemoveIcon(HWND window) {
    if (!g_bTrayIconShown) return;
    NOTIFYICONDATAW data = IconRecord(window, false);
    ShellNotifyIcon(NIM_DELETE, &data);
    g_bTrayIconShown = 0;
}

void ShowTrayMenu(HWND window) {
    SetForegroundWindow(window);
    HMENU menu = CreatePopupMenu();
    if (menu) {
        AppendMenuW(menu, MF_STRING, IDM_TRAY_SHOW, L"显示窗口");
        AppendMenuW(menu, MF_STRING, IDM_TRAY_EXIT, L"退出程序");
        POINT cursor;
        GetCursorPos(&cursor);
        int command = TrackPopupMenu(menu, TPM_RETURNCMD | TPM_BOTTOMALIGN | TPM_RIGHTALIGN | TPM_LEFTBUTTON, cursor.x,
                                     cursor.y, 0, window, nullptr);
        DestroyMenu(menu);
        if (command == IDM_TRAY_SHOW) {
            RestoreFromTray(window);
        } else if (command == IDM_TRAY_EXIT) {
            DestroyWindow(window);
        }
    }
    PostMessageW(window, WM_NULL, 0, 0);
}

}  // namespace

LRESULT HideToTray(HWND window) {
    StopLargeFileScan();
    StopSpaceScan();
    NOTIFYICONDATAW data = IconRecord(window, true);
    if (g_bTrayIconShown) {
        ShellNotifyIcon(NIM_MODIFY, &data);
    } else if (ShellNotifyIcon(NIM_ADD, &data)) {
        g_bTrayIconShown = 1;
        data.uVersion = NOTIFYICON_VERSION_4;
        ShellNotifyIcon(NIM_SETVERSION, &data);
    }
    ShowWindow(window, SW_HIDE);
    return 0;
}

LRESULT OnTrayIcon(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (LOWORD(lParam)) {
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
        RestoreFromTray(window);
        return 0;
    case WM_RBUTTONUP:
        ShowTrayMenu(window);
        return 0;
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}

void RestoreFromTray(HWND window) {
    // SW_RESTORE would also take a maximized window out of its maximized state.
    ShowWindow(window, IsIconic(window) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(window);
    RemoveIcon(window);
}

LRESULT OnDestroy(HWND window) {
    RemoveIcon(window);
    KillTimer(window, IDT_TICKER);
    // A scan that was asked to stop may still publish into the array: then
    // it is left to the end of the process rather than freed under it.
    if (!LargeScanWorkerLive()) ClearLargeFiles();
    PostQuitMessage(0);
    return 0;
}
