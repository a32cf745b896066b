// The system's own tools and facts for the system-space page: programs of
// the system folder run to their end with their output read through a pipe,
// the hibernation settings, a file's size in the drive's root, free space.
// Win32 only; the page calls these from its worker.
#pragma once

#include <windows.h>

#include <cstdint>

// Bytes as the tool wrote them (its console code page), in pieces as they
// arrive: a piece may end inside a line.
typedef void (*ToolOutputSink)(const char* bytes, size_t count, void* context);

// Runs `program` (a file name such as L"Dism.exe") from GetSystemDirectoryW by
// its full path, never through a search, with `arguments` after the quoted
// path, hidden, its standard output and error into one pipe given to sink,
// and waits for its end. False, with the Win32 error in *error, when it
// could not be started; otherwise true with its exit code.
bool RunSystemTool(const wchar_t* program, const wchar_t* arguments, ToolOutputSink sink, void* context,
                   uint32_t* exitCode, uint32_t* error);

// HibernateEnabled and HiberFileType (1 reduced, 2 full) of the power
// settings; -1 for a value that is not there or cannot be read.
void ReadHibernationSettings(int32_t* enabled, int32_t* fileType);

enum RootFileState { ROOT_FILE_FOUND, ROOT_FILE_ABSENT, ROOT_FILE_UNREADABLE };
// A file in the root ("C:\", "hiberfil.sys"), its size from the root's
// listing: the system holds these files open, so they cannot be opened.
RootFileState RootFileSize(const wchar_t* root, const wchar_t* name, uint64_t* size);

// The free bytes of the drive whose root is given; false when unknown.
bool DriveFreeBytes(const wchar_t* root, uint64_t* bytes);
