// The space view, as the window's routing and the tray see it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "uimodel/layout_calc.h"

void SpaceCreate(HWND window);
void SpaceScale(HFONT font);
void SpaceLayout(const MainLayout& layout);
void SpaceShow(int page);
bool SpaceCommand(HWND window, int id, LRESULT* result);
bool SpaceNotify(NMHDR* header, LRESULT* result);
bool SpaceMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
// True while an analysis runs; StopSpaceScan asks it to stop (closing to the tray).
bool SpaceScanBusy();
void StopSpaceScan();
