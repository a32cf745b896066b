// The main window procedure: it only dispatches, each message to the
// handler in the file of its concern.
#include "app/shell.h"
#include "ui/main_window.h"
#include "engine/events.h"

#include "platform/post.h"
#include "ui/ids.h"

namespace {

LRESULT OnCommand(HWND window, int id) {
    switch (id) {
    case IDC_BTN_SCAN:
        return OnLargeScanCommand(window);
    case IDC_BTN_CLEAN:
        return OnCleanCommand(window);
    case IDC_BTN_SELECT_ALL:
        return OnSelectAllCommand(true);
    case IDC_BTN_DESELECT_ALL:
        return OnSelectAllCommand(false);
    case IDC_BTN_MODE:
        return SwitchPrivilegeMode(window);
    case IDC_BTN_DISK_CLEAN:
        return OnDiskCleanCommand();
    case IDC_BTN_PREVIEW:
        return OnPreviewCommand();
    case IDC_TAB_CLEAN:
    case IDC_TAB_LARGE:
    case IDC_TAB_SPACE:
        return OnTabCommand(id);
    case IDC_BTN_ANALYZE:
        return OnAnalyzeCommand(window);
    case IDC_BTN_SPACE_UP:
        return OnSpaceUpCommand();
    case IDC_BTN_SPACE_OPEN:
        return OnSpaceOpenCommand();
    case IDC_BTN_RESCAN:
        return OnRescanCommand(window);
    default:
        return 0;
    }
}

LRESULT OnNotify(NMHDR* header) {
    if (!header) return 0;
    if (header->idFrom == IDC_LIST_CLEAN) return OnCleanupListNotify(header);
    if (header->idFrom == IDC_LIST_LARGE) return OnLargeListNotify(header);
    if (header->idFrom == IDC_LIST_SPACE) return OnSpaceListNotify(header);
    return 0;
}

}  // namespace

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
        return OnCommand(window, LOWORD(wParam));
    case WM_NOTIFY:
        return OnNotify(reinterpret_cast<NMHDR*>(lParam));
    case WM_CLOSE:
        return HideToTray(window);
    case WM_DESTROY:
        return OnDestroy(window);
    case MSG_TRAY_ICON:
        return OnTrayIcon(window, message, wParam, lParam);
    case MSG_START_MEASURE:
        return OnStartMeasure(window);
    case MSG_MEASURE_BEGIN:
    case MSG_MEASURE_PROGRESS:
        return 0;
    case MSG_MEASURE_FINISHED:
        return OnMeasureFinished(window);
    case MSG_SELECTION_MEASURED:
        return OnSelectionMeasured(window, wParam);
    case MSG_CLEAN_ACTIVITY:
        return OnCleanActivity(wParam, lParam);
    case MSG_CLEAN_PROGRESS:
        return OnCleanProgress(wParam);
    case MSG_CLEAN_FINISHED:
        return OnCleanFinished(window);
    case MSG_LARGE_SCAN_FINISHED:
        return OnLargeScanFinished(window);
    case MSG_SPACE_SCAN_FINISHED:
        return OnSpaceScanFinished(window, wParam, lParam);
    default:
        return DefWindowProcW(window, message, wParam, lParam);
    }
}
