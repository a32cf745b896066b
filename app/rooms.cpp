// The window's routing table: one row per page. The window procedure hands
// every page the passes (create, font and scale, layout, show) and asks
// each in turn to take a command, a notification or a worker's message; it
// never names a page's control.
#include "app/shell.h"

#include "platform/post.h"
#include "ui/cleanup/cleanup_page.h"
#include "ui/largefiles/largefiles_page.h"
#include "ui/shell/app_state.h"
#include "ui/shell/ids.h"
#include "ui/shell/shell.h"
#include "ui/space/space_page.h"
#include "ui/system/system_room.h"

namespace {

struct PageRoom {
    void (*create)(HWND window);
    void (*scale)(HFONT font);
    void (*layout)(const MainLayout& layout);
    void (*show)(int page);
    bool (*command)(HWND window, int id, LRESULT* result);
    bool (*notify)(NMHDR* header, LRESULT* result);
    bool (*message)(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
    void (*note)(HWND window, int note);  // null: it takes no note
};

// In the order of their tabs.
const PageRoom kRooms[kPageCount] = {
    {CleanupCreate, CleanupScale, CleanupLayout, CleanupShow, CleanupCommand, CleanupNotify, CleanupMessage, CleanupNote},
    {LargeCreate, LargeScale, LargeLayout, LargeShow, LargeCommand, LargeNotify, LargeMessage, nullptr},
    {SpaceCreate, SpaceScale, SpaceLayout, SpaceShow, SpaceCommand, SpaceNotify, SpaceMessage, nullptr},
    {SystemRoomCreate, SystemRoomScale, SystemRoomLayout, SystemRoomShow, SystemRoomCommand, SystemRoomNotify, SystemRoomMessage, nullptr},
};

}  // namespace

void ShowPage(int page) {
    SelectPage(page);
    for (const PageRoom& room : kRooms) room.show(CurrentPage());
}

void LayoutMainWindow(int width, int height) {
    const MainLayout layout = ComputeMainLayout(width, height, g_nDpi);
    PlaceShellControls(layout);
    for (const PageRoom& room : kRooms) room.layout(layout);
}

void ApplyScale(HWND window) {
    HFONT font = RenewControlFont();
    SetShellFont(font);
    for (const PageRoom& room : kRooms) room.scale(font);
    DropPreviousControlFont();  // no control holds it any more
    ForgetCachedFonts();
    RECT client;
    GetClientRect(window, &client);
    LayoutMainWindow(client.right, client.bottom);
    InvalidateRect(window, nullptr, TRUE);
}

LRESULT OnCreate(HWND window) {
    CreateShellControls(window);
    for (const PageRoom& room : kRooms) room.create(window);
    ApplyScale(window);
    ShowPage(PAGE_CLEANUP);
    RefreshFreeSpace(nullptr);
    PostWindowMessage(window, MSG_START_MEASURE, 0, 0);
    return 0;
}

LRESULT OnSize(HWND window, int width, int height) {
    LayoutMainWindow(width, height);
    InvalidateRect(window, nullptr, FALSE);
    return 0;
}

LRESULT OnDpiChanged(HWND window, int dpi, const RECT* suggested) {
    SetWindowDpi(dpi);
    ApplyScale(window);
    ResetTickerCycle();
    if (suggested) {
        SetWindowPos(window, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
    return 0;
}

LRESULT OnGetMinMaxInfo(MINMAXINFO* info) {
    info->ptMinTrackSize.x = ScaleByDpi(700);
    info->ptMinTrackSize.y = ScaleByDpi(450);
    return 0;
}

LRESULT RouteCommand(HWND window, int id) {
    switch (id) {
    case IDC_TAB_CLEAN:
        ShowPage(PAGE_CLEANUP);
        return 0;
    case IDC_TAB_LARGE:
        ShowPage(PAGE_LARGE);
        return 0;
    case IDC_TAB_SPACE:
        ShowPage(PAGE_SPACE);
        return 0;
    case IDC_TAB_SYSTEM:
        ShowPage(PAGE_SYSTEM);
        return 0;
    case IDC_BTN_MODE:
        return SwitchPrivilegeMode(window);
    default:
        break;
    }
    LRESULT result = 0;
    for (const PageRoom& room : kRooms)
        if (room.command(window, id, &result)) return result;
    return 0;
}

LRESULT RouteNotify(NMHDR* header) {
    LRESULT result = 0;
    if (!header) return 0;
    for (const PageRoom& room : kRooms)
        if (room.notify(header, &result)) return result;
    return 0;
}

bool RoutePageMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    if (message == MSG_PAGE_NOTE) {
        for (const PageRoom& room : kRooms)
            if (room.note) room.note(window, static_cast<int>(wParam));
        *result = 0;
        return true;
    }
    for (const PageRoom& room : kRooms)
        if (room.message(window, message, wParam, lParam, result)) return true;
    return false;
}
