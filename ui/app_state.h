// Process-wide facts that start-up establishes before any worker exists;
// workers only read them.
#pragma once

#include <windows.h>

#include <cstdint>

extern HANDLE g_hSingleInstanceMutex;
extern char16_t g_szSystemDrive[4];  // "C:\" until start-up reads the Windows directory
extern int32_t g_nDpi;               // never below 96
extern int32_t g_bIsAdmin;
extern HWND g_hMainWnd;

extern const wchar_t kMainWindowTitle[];
extern const wchar_t kMainWindowClass[];
extern const wchar_t kInstanceMutexName[];  // the single-instance guard

// 1 when the process token is an effective member of Administrators.
int32_t IsRunningAsAdmin();
// Sets the system drive, the DPI and g_bIsAdmin, on the first call only
// (the main thread, before the window and any worker exist).
void ReadProcessFacts();
