// The junk-cleanup page, as the window's routing sees it.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdint>

#include "uimodel/layout_calc.h"

// 1 while a cleaning run goes on: from the confirmation until the window
// has taken the run's last message. Written by the page's phase alone.
extern std::atomic<int32_t> g_bCleanBusy;

void CleanupCreate(HWND window);
// The font and DPI pass: the controls' font, then what depends on the scale.
void CleanupScale(HFONT font);
void CleanupLayout(const MainLayout& layout);
void CleanupShow(int page);
// False when the control or the message is not the page's.
bool CleanupCommand(HWND window, int id, LRESULT* result);
bool CleanupNotify(NMHDR* header, LRESULT* result);
bool CleanupMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result);
void CleanupNote(HWND window, int note);
