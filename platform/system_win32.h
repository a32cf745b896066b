// What the Win32 application asks of the system beyond files: libraries,
// the system's own programs, and Explorer. Each is reached by a name the
// system gives, never by a search that starts in the program's own folder,
// where a portable exe has whatever was downloaded beside it.
#pragma once

#include <windows.h>
#include <shellapi.h>

// From now on the process loads libraries from the system folder only
// (SetDefaultDllDirectories, Windows 8 and Windows 7 with KB2533623; looked
// up at run time). Call first thing, before any library is loaded on demand.
void RestrictLibrarySearch();

// Holds the program's own file from start-up until the process ends, shared
// for reading only: Windows lets a running image be renamed, and whatever
// then stood at its path is what a restart would start. The file held must
// be the image that runs (its headers as mapped in memory); otherwise
// nothing is held. Call once, early.
void HoldOwnImage();
// Whether the file at path is the one held since start-up, by identity.
// False when nothing is held or path cannot be opened.
bool OwnImageIsAt(const wchar_t* path);

// Loads a system library from the system folder alone; null when it is not
// there.
HMODULE LoadSystemLibrary(const wchar_t* name);

// shell32, loaded from the system folder when first needed and never
// imported: an import is resolved before the program's first line runs, and
// the libraries it pulls in (shlwapi, shcore) would be searched for beside the
// program where the system has no list of known libraries (Windows 7 for
// shcore, Wine for all). Each fails as its shell32 call would when shell32
// or the call is missing (E_NOTIMPL, or FALSE with ERROR_PROC_NOT_FOUND).
HRESULT ShellKnownFolderPath(const GUID& id, DWORD flags, PWSTR* path);
HRESULT ShellEmptyRecycleBin(HWND owner, const wchar_t* root, DWORD flags);
BOOL ShellExecuteExLate(SHELLEXECUTEINFOW* info);
BOOL ShellNotifyIcon(DWORD message, NOTIFYICONDATAW* data);

// Starts `program` (a file name such as L"cleanmgr.exe") from the system
// folder, by its full path as the application name, with commandLine.
// False, with the error, when it cannot be started.
bool StartSystemProgram(const wchar_t* program, const wchar_t* commandLine);

// Opens the file's folder in Explorer with the file selected, through an
// ID list of that file (SHOpenFolderAndSelectItems): nothing is executed,
// whatever the name. False when the shell cannot name or show it.
bool OpenFolderSelecting(const wchar_t* path);
