#include "ui/app_state.h"

#include "platform/privilege_ops.h"

HANDLE g_hSingleInstanceMutex = nullptr;
char16_t g_szSystemDrive[4] = u"C:\\";
int32_t g_nDpi = 96;
int32_t g_bIsAdmin = 0;
HWND g_hMainWnd = nullptr;

const wchar_t kMainWindowTitle[] = L"澜序(Norvale) - C盘清理工具";
const wchar_t kMainWindowClass[] = L"NorvaleMain";
const wchar_t kInstanceMutexName[] = L"Global\\Norvale_SingleInstance_Mutex";

int32_t IsRunningAsAdmin() { return PrivilegeTokenIsAdmin() ? 1 : 0; }
