// The system-space page as one room of the window: the passes and routes
// every page takes, handed to the page with what it needs from the shell.
#include "ui/system/system_room.h"

#include "ui/shell/app_state.h"
#include "ui/shell/shell.h"
#include "ui/system/system_page.h"
#include "uimodel/system_layout.h"

void SystemRoomCreate(HWND window) { CreateSystemPage(window, g_bIsAdmin, g_szSystemDrive); }

void SystemRoomScale(HFONT font) { SetSystemPageFont(font); }

void SystemRoomLayout(const MainLayout& layout) { LayoutSystemPage(SystemPageArea(layout, g_nDpi), g_nDpi); }

void SystemRoomShow(int page) { ShowSystemPage(page == PAGE_SYSTEM); }

bool SystemRoomCommand(HWND window, int id, LRESULT* result) {
    if (id < IDC_SYSTEM_FIRST || id > IDC_SYSTEM_LAST) return false;
    *result = OnSystemCommand(window, id);
    return true;
}

bool SystemRoomNotify(NMHDR*, LRESULT*) { return false; }

bool SystemRoomMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message != MSG_SYSTEM_PROGRESS && message != MSG_SYSTEM_DONE) return false;
    *result = OnSystemWorkerMessage(window, message, wParam, lParam);
    return true;
}
