// The main window procedure: it only dispatches, the window's own messages
// to the shell and the routing table (rooms.cpp), the rest to DefWindowProcW.
#include "app/shell.h"

#include "ui/shell/ids.h"
#include "ui/shell/shell.h"

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        return OnCreate(window);
    case WM_SIZE:
        return OnSize(window, LOWORD(lParam), HIWORD(lParam));
    case WM_DPICHANGED:
        return OnDpiChanged(window, HIWORD(wParam), reinterpret_cast<const RECT*>(lParam));
    case WM_GETMINMAXINFO:
        return OnGetMinMaxInfo(reinterpret_cast<MINMAXINFO*>(lParam));
    case WM_WINDOWPOSCHANGED:
        // Shown or hidden by anyone (the tray, a second start): the ticker
        // runs only while it can be seen. The default handling sends WM_SIZE.
        UpdateTicker();
        return DefWindowProcW(window, message, wParam, lParam);
    case WM_PAINT:
        return OnPaint(window);
    case WM_ERASEBKGND:
        return 1;
    case WM_DRAWITEM:
        return OnDrawItem(reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
    case WM_CTLCOLORSTATIC:
        return OnCtlColorStatic(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_TIMER:
        return OnTimer(wParam);
    case WM_COMMAND:
        return RouteCommand(window, LOWORD(wParam));
    case WM_NOTIFY:
        return RouteNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_CLOSE:
        return HideToTray(window);
    case WM_DESTROY:
        return OnDestroy(window);
    case MSG_TRAY_ICON:
        return OnTrayIcon(window, message, wParam, lParam);
    default: {
        LRESULT result = 0;
        if (RoutePageMessage(window, message, wParam, lParam, &result)) return result;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    }
}
