// Control, timer and menu identifiers of the main window.
#pragma once

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
};

enum { IDT_TICKER = 201 };
enum { IDM_TRAY_SHOW = 10001, IDM_TRAY_EXIT = 10002 };
enum { TRAY_ICON_ID = 100 };
