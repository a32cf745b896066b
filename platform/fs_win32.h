// What the Win32 application needs of the file-system backend beyond the
// portable seam.
#pragma once

// Deletes the one file that path names (a file link as a link; never a
// folder) through its own handle: its read-only bit is ignored by the
// deletion where the system can, or else cleared on that handle alone and
// put back when the deletion fails. A file with other hard links keeps its
// bit (they share it) and fails with access denied. GetLastError tells why
// it failed.
bool DeleteFileByHandle(const wchar_t* path);
