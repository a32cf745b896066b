// Process-wide facts that start-up establishes before any worker exists;
// workers only read them.
#pragma once

#include <windows.h>

#include <cstdint>

extern HANDLE g_hSingleInstanceMutex;  // written by the three guard functions below alone
extern char16_t g_szSystemDrive[4];  // "C:\" until start-up reads the Windows directory
extern int32_t g_nDpi;               // never below 96; start-up and SetWindowDpi write it
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
// The window moved to a monitor of another scale (main thread).
void SetWindowDpi(int dpi);

// The single-instance guard, main thread only. Takes the named mutex;
// false when another instance holds it (nothing is kept then).
bool TakeInstanceGuard();
// Gives it up (a switch of mode, the end of the process); safe when not held.
void GiveUpInstanceGuard();
// Takes it again after a switch that started nothing.
void TakeInstanceGuardAgain();
