// 查看文件: one window at a time over the main window, listing every file a
// run of one catalogue item would delete.
#pragma once

#include <windows.h>

// The preview window (null when none), which the message loop gives its
// keys (Tab, Esc) first.
extern HWND g_hPreviewWnd;
// Opens it for the item, closing any other first.
void OpenPreview(int group, int item);
