// Control, timer and menu identifiers of the main window.
#pragma once

#include <cstdint>

enum {
    IDC_LIST_CLEAN = 101,
    IDC_LIST_LARGE = 102,
    IDC_BTN_SCAN = 103,
    IDC_BTN_CLEAN = 104,
    IDC_BTN_SELECT_ALL = 105,
    IDC_BTN_DESELECT_ALL = 106,
    IDC_STATIC_TOTAL = 108,
    IDC_BTN_MODE = 111,
    IDC_COMBO_MIN_SIZE = 113,
    IDC_BTN_DISK_CLEAN = 114,
    IDC_STATIC_SCAN_STAT = 115,
    IDC_TAB_CLEAN = 116,
    IDC_TAB_LARGE = 117,
    IDC_BTN_RESCAN = 118,
    IDC_WARNING_BAR = 119,
    IDC_STATIC_LARGE_WARN = 120,
    IDC_BTN_PREVIEW = 121,
    IDC_TAB_SPACE = 122,
    IDC_BTN_ANALYZE = 123,
    IDC_STATIC_SPACE_STAT = 124,
    IDC_STATIC_SPACE_PATH = 125,
    IDC_BTN_SPACE_UP = 126,
    IDC_BTN_SPACE_OPEN = 127,
    IDC_LIST_SPACE = 128,
    IDC_TREEMAP = 129,
    IDC_PREVIEW_TOTAL = 130,
    IDC_PREVIEW_LIST = 131,
    IDC_PREVIEW_OPEN = 132,
    IDC_TAB_SYSTEM = 133,
    IDC_BTN_SPACE_DELETE = 137,
    IDC_BTN_SPACE_TYPES = 190,
    IDC_LIST_SPACE_TYPES = 191,
    IDC_BTN_SPACE_EXPORT = 194,  // after the system page's range (140 to 189)
    IDC_BTN_LARGE_EXPORT = 195,
};

enum { IDT_TICKER = 201 };

// The window's own private messages (the engine's are in engine/events.h).
enum : uint32_t {
    MSG_LARGE_SCAN_FINISHED = 1125,  // large-file scan finished, stopped or failed; wParam: which
    MSG_START_MEASURE = 1126,        // posted by the window to itself at creation
    MSG_PREVIEW_READY = 1132,        // to a preview window; lParam: its job, done (the window holds it)
    MSG_SPACE_SCAN_FINISHED = 1135,  // wParam: how it ended; lParam: the SpaceTree, which the window owns from then
    MSG_SPACE_LIVE = 1145,           // lParam: a snapshot SpaceTree of the scan so far, which the window owns from then
    MSG_PAGE_NOTE = 1136,            // sent by the shell to the window for every page; wParam: a PageNote
    MSG_SPACE_DELETE_FINISHED = 1137,  // lParam: the space view's folder deletion, which the window owns from then
    MSG_TRAY_ICON = 1224,            // notification-area icon callback
};
enum { IDM_TRAY_SHOW = 10001, IDM_TRAY_EXIT = 10002 };
enum { TRAY_ICON_ID = 100 };
