// The large-file page, as the window's routing and the tray see it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>

#include "uimodel/layout_calc.h"

// 1 while a scan runs and has not been asked to stop; clearing it is the
// stop request the worker polls. Written by the page's phase alone.
extern std::atomic<int32_t> g_bLargeScanBusy;

void LargeCreate(HWND window);
void LargeScale(HFONT font);
void LargeLayout(const MainLayout& layout);
void LargeShow(int page);
bool LargeCommand(HWND window, int id, LRESULT* result);
bool LargeNotify(NMHDR* header, LRESULT* result);
bool LargeMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
// Asks a running scan to stop (the window goes to the tray).
void StopLargeFileScan();
// True until the scan's worker has returned: it may still publish results.
bool LargeScanWorkerLive();
