// Restarting the program in the other privilege mode.
#include "app/shell.h"
#include "platform/privilege_ops.h"
#include "platform/system_win32.h"
#include "text/format.h"
#include "ui/cleanup/cleanup_page.h"
#include "ui/largefiles/largefiles_page.h"
#include "ui/shell/app_state.h"
#include "ui/space/space_page.h"
#include "ui/system/system_page.h"

namespace {

// The guard is given up only just before the new instance starts (it must
// not find the name held), and taken again when that start fails: until then
// a second start still hands over to this window.

bool Confirm(HWND window, const wchar_t* question) {
    return MessageBoxW(window, question, L"确认切换", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

// Quits once the other instance has started; when none could, this one
// keeps running with its guard back and says so.
void EndOrStay(HWND window, bool started) {
    if (started) {
        PostQuitMessage(0);
        return;
    }
    TakeInstanceGuardAgain();
    MessageBoxW(window, L"无法切换权限模式（可能被 UAC 阻止）。", L"提示", MB_ICONWARNING);
}

// A restart starts the file at the program's path. It must be the file that
// runs now, held since start-up: checked after the question, right before
// the start, so no answer given meanwhile lets another file through.
bool StillOwnImage(HWND window, const wchar_t* exe) {
    if (OwnImageIsAt(exe)) return true;
    Trace(u"[系统] restart refused: the file at the program's path is not the running image");
    MessageBoxW(window, L"程序文件已被更改，无法切换模式", L"提示", MB_ICONWARNING);
    return false;
}

// Only the desktop shell's token gives ordinary rights. The default verb
// would start the copy with this process's elevation: a request for
// ordinary rights must never end in administrator rights, so a failed start
// keeps this instance.
void RestartUnelevated(HWND window, const wchar_t* exe) {
    if (!Confirm(window, L"确定要以普通权限重新启动程序吗？") || !StillOwnImage(window, exe)) return;
    GiveUpInstanceGuard();
    EndOrStay(window, PrivilegeStartUnelevated(exe));
}

void RestartElevated(HWND window, const wchar_t* exe) {
    if (!Confirm(window, L"确定要以管理员权限重新启动程序吗？") || !StillOwnImage(window, exe)) return;
    GiveUpInstanceGuard();
    EndOrStay(window, PrivilegeStartElevated(exe));
}

}  // namespace

LRESULT SwitchPrivilegeMode(HWND window) {
    if (g_bLargeScanBusy.load() || g_bCleanBusy.load() || SpaceScanBusy() || SystemPageBusy()) {
        MessageBoxW(window, L"正在扫描或清理中，无法切换权限模式。", L"提示", MB_ICONWARNING);
        return 0;
    }
    wchar_t exe[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, exe, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        MessageBoxW(window, L"无法获取程序路径。", L"提示", MB_ICONWARNING);
        return 0;
    }
    if (g_bIsAdmin) {
        RestartUnelevated(window, exe);
    } else {
        RestartElevated(window, exe);
    }
    return 0;
}
