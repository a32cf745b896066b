// The system-space page (系统空间): the system's own large consumers, each
// measured and freed through the system's own tools. What the page needs
// from the window it is given: the parent, the mode, the system drive, the
// font and the area to lay itself out in.
#pragma once

#include <windows.h>

#include <cstdint>

#include "uimodel/layout_calc.h"

// The page's private messages to the window that holds it: forward them
// to OnSystemWorkerMessage.
enum : uint32_t {
    MSG_SYSTEM_PROGRESS = 1138,  // wParam: tenths of a percent of DISM's progress
    MSG_SYSTEM_DONE = 1139,      // lParam: a heap SystemResult, which the page frees
};

// Its controls' identifiers; commands in this range go to OnSystemCommand.
enum { IDC_SYSTEM_FIRST = 140, IDC_SYSTEM_LAST = 189 };

// Creates the page's controls, hidden. admin: the process runs elevated;
// systemDrive: "C:\".
void CreateSystemPage(HWND parent, int32_t admin, const char16_t* systemDrive);
void SetSystemPageFont(HFONT font);
void LayoutSystemPage(const LayoutRect& area, int dpi);
// Shown the first time, it reads what needs no tool (the two files' sizes,
// the hibernation setting); nothing runs at start.
void ShowSystemPage(bool show);
LRESULT OnSystemCommand(HWND window, int id);
LRESULT OnSystemWorkerMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
// A system tool or System Restore is at work (it is never stopped; closing
// the window to the tray leaves it running).
bool SystemPageBusy();
