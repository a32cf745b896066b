// What the Win32 application asks of the system beyond files: libraries,
// the system's own programs, and Explorer. Each is reached by a name the
// system gives, never by a search that starts in the program's own folder,
// where a portable exe has whatever was downloaded beside it.
#pragma once

#include <windows.h>

// From now on the process loads libraries from the system folder only
// (SetDefaultDllDirectories, Windows 8 and Windows 7 with KB2533623; looked
// up at run time). Call first thing, before any library is loaded on demand.
void RestrictLibrarySearch();

// Loads a system library from the system folder alone; null when it is not
// there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// Starts `program` (a file name such as L"cleanmgr.exe") from the system
// folder, by its full path as the application name, with commandLine.
// False, with the error, when it cannot be started.
bool StartSystemProgram(const wchar_t* program, const wchar_t* commandLine);

// Opens the file's folder in Explorer with the file selected, through an
// ID list of that file (SHOpenFolderAndSelectItems): nothing is executed,
// whatever the name. False when the shell cannot name or show it.
bool OpenFolderSelecting(const wchar_t* path);
