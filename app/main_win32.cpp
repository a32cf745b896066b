// The entry point: single instance, process-wide facts, the main window and
// its message loop.
#include "app/shell.h"
#include "platform/debug_trace.h"
#include "platform/system_win32.h"
#include "ui/preview/preview_window.h"
#include "ui/shell/app_state.h"
#include "ui/shell/shell.h"
#include "ui/shell/workers.h"

#include "resources/resource.h"
#include "text/format.h"
#include "text/text16.h"

#include <commctrl.h>
#include <objbase.h>

namespace {

void BringForwardRunningInstance() {
    HWND running = FindWindowW(kMainWindowClass, nullptr);
    if (!running) {
        MessageBoxW(nullptr, L"澜序(Norvale) 已在运行中！", L"提示", MB_OK | MB_ICONINFORMATION);
        return;
    }
    ShowWindow(running, IsIconic(running) ? SW_RESTORE : SW_SHOW);
    SetForegroundWindow(running);
    SetWindowPos(running, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetFocus(running);
}

HICON LoadIconSized(HINSTANCE instance, int widthMetric, int heightMetric) {
    return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_APP_ICON), IMAGE_ICON,
                                         GetSystemMetrics(widthMetric), GetSystemMetrics(heightMetric), LR_DEFAULTCOLOR));
}

// Workers are never joined. While one still runs, the process ends without
// its exit-time clean-up, so nothing is torn down under a live thread.
int Finish(int code) {
    if (g_nLiveWorkers.load() > 0) TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
    return code;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    // Before anything loads a library on demand: a portable exe lies in
    // Downloads, beside whatever else was downloaded there.
    RestrictLibrarySearch();
    HoldOwnImage();
    // The shell's calls (known folders, Explorer, the recycle bin) want an
    // apartment-threaded main thread, without OLE1 DDE.
    const bool com = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE));
    if (!TakeInstanceGuard()) {
        BringForwardRunningInstance();
        if (com) CoUninitialize();
        return 0;
    }
    SetTraceSink(TraceToDebugger);
    ReadProcessFacts();

    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&controls);

    WNDCLASSEXW cls = {};
    cls.cbSize = sizeof cls;
    cls.style = CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = MainWindowProc;
    cls.hInstance = instance;
    cls.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APP_ICON));
    if (!cls.hIcon) cls.hIcon = LoadIconW(nullptr, IDI_APPLICATION);
    cls.hIconSm = cls.hIcon;
    cls.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    cls.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    cls.lpszClassName = kMainWindowClass;
    if (!RegisterClassExW(&cls)) return 1;

    HWND window = CreateWindowExW(0, kMainWindowClass, kMainWindowTitle, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                  CW_USEDEFAULT, CW_USEDEFAULT, MulDiv(800, g_nDpi, 96), MulDiv(600, g_nDpi, 96),
                                  nullptr, nullptr, instance, nullptr);
    if (!window) return 1;
    // The screen's DPI was a guess: the window takes its monitor's.
    const int dpi = WindowMonitorDpi(window);
    if (dpi >= 96 && dpi != g_nDpi) {
        RECT at;
        GetWindowRect(window, &at);
        RECT scaled = {at.left, at.top, at.left + MulDiv(800, dpi, 96), at.top + MulDiv(600, dpi, 96)};
        OnDpiChanged(window, dpi, &scaled);
    }
    SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconSized(instance, SM_CXICON, SM_CYICON)));
    SendMessageW(window, WM_SETICON, ICON_SMALL,
                 reinterpret_cast<LPARAM>(LoadIconSized(instance, SM_CXSMICON, SM_CYSMICON)));
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        // Tab between its controls, Esc closes it.
        if (g_hPreviewWnd && IsDialogMessageW(g_hPreviewWnd, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    GiveUpInstanceGuard();
    if (com) CoUninitialize();
    return Finish(static_cast<int>(message.wParam));
}
