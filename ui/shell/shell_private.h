// Between the shell's own files.
#pragma once

#include <windows.h>

// controls.cpp: the shell's controls by id, and those of them seen on page.
HWND ShellControl(int id);
void ShowShellControls(int page);
