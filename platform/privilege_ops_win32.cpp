#include "platform/privilege_ops.h"

#include "platform/fs.h"
#include "platform/system_win32.h"

#include <shellapi.h>

// The engine asks the same question through its seam; one answer for both.
bool PrivilegeTokenIsAdmin() { return FsProcessElevated(); }

bool PrivilegeStartUnelevated(const wchar_t* exe) {
    HWND shell = GetShellWindow();
    if (!shell) return false;
    DWORD shellProcessId = 0;
    GetWindowThreadProcessId(shell, &shellProcessId);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_CREATE_PROCESS, FALSE, shellProcessId);
    if (!process) return false;
    HANDLE shellToken = nullptr;
    if (!OpenProcessToken(process, TOKEN_ASSIGN_PRIMARY | TOKEN_DUPLICATE | TOKEN_QUERY, &shellToken)) {
        CloseHandle(process);
        return false;
    }
    HANDLE token = nullptr;
    if (!DuplicateTokenEx(shellToken, MAXIMUM_ALLOWED, nullptr, SecurityImpersonation, TokenPrimary, &token)) {
        CloseHandle(shellToken);
        CloseHandle(process);
        return false;
    }
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info = {};
    BOOL started = CreateProcessWithTokenW(token, 0, exe, nullptr, 0, nullptr, nullptr, &startup, &info);
    if (started) {
        CloseHandle(info.hProcess);
        CloseHandle(info.hThread);
    }
    CloseHandle(token);
    CloseHandle(shellToken);
    CloseHandle(process);
    return started != FALSE;
}

bool PrivilegeStartElevated(const wchar_t* exe) {
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"runas";
    info.lpFile = exe;
    info.nShow = SW_SHOW;
    return ShellExecuteExLate(&info) != FALSE;
}
