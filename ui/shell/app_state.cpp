#include "ui/shell/app_state.h"

#include "platform/privilege_ops.h"
#include "text/format.h"

HANDLE g_hSingleInstanceMutex = nullptr;
char16_t g_szSystemDrive[4] = u"C:\\";
int32_t g_nDpi = 96;
int32_t g_bIsAdmin = 0;
HWND g_hMainWnd = nullptr;

const wchar_t kMainWindowTitle[] = L"澜序(Norvale) - C盘清理工具";
const wchar_t kMainWindowClass[] = L"NorvaleMain";
const wchar_t kInstanceMutexName[] = L"Global\\Norvale_SingleInstance_Mutex";

int32_t IsRunningAsAdmin() { return PrivilegeTokenIsAdmin() ? 1 : 0; }

void SetWindowDpi(int dpi) { g_nDpi = dpi < 96 ? 96 : dpi; }

bool TakeInstanceGuard() {
    g_hSingleInstanceMutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
    if (GetLastError() != ERROR_ALREADY_EXISTS) return true;
    if (g_hSingleInstanceMutex) CloseHandle(g_hSingleInstanceMutex);
    g_hSingleInstanceMutex = nullptr;
    return false;
}

void GiveUpInstanceGuard() {
    if (!g_hSingleInstanceMutex) return;
    ReleaseMutex(g_hSingleInstanceMutex);
    CloseHandle(g_hSingleInstanceMutex);
    g_hSingleInstanceMutex = nullptr;
}

void TakeInstanceGuardAgain() {
    if (!g_hSingleInstanceMutex) g_hSingleInstanceMutex = CreateMutexW(nullptr, FALSE, kInstanceMutexName);
}

void ReadProcessFacts() {
    static bool read = false;
    if (read) return;
    read = true;
    wchar_t windows[MAX_PATH];
    if (GetWindowsDirectoryW(windows, MAX_PATH)) g_szSystemDrive[0] = static_cast<char16_t>(windows[0]);
    HDC screen = GetDC(nullptr);
    if (screen) {
        int dpi = GetDeviceCaps(screen, LOGPIXELSX);
        if (dpi >= 96) SetWindowDpi(dpi);
        ReleaseDC(nullptr, screen);
    }
    g_bIsAdmin = IsRunningAsAdmin();
    Trace(u"[系统] 管理员权限: %s", g_bIsAdmin ? u"是" : u"否");
    Trace(u"[系统] 系统盘: %s", g_szSystemDrive);
}
