// Pieces of the file-system seam that every backend shares.
#pragma once

#include <cstddef>
#include <cstdint>

// The root length of a path in Windows syntax: "X:\" (3), "\\server\share\"
// and the "\\?\" and "\\.\" forms of both; 0 when the path is not absolute.
uint32_t WindowsRootLength(const char16_t* path);

// The one place that makes and reads the "\\?\" forms.
//
// The "\\?\" form of an absolute drive or share path ("\\?\UNC\..." for a
// share), which Win32 takes literally: a name ending in a dot or a space
// stays itself. '/' becomes '\' and repeated separators one, the clean-ups
// Win32 would do. A device path, or a path that is not absolute, is copied
// as it is. Returns the units written; 0, with out empty, when it does not
// fit in capacity units with the terminator.
size_t WindowsLongForm(const char16_t* path, char16_t* out, size_t capacity);
// In place: "\\?\X:..." and "\\.\X:..." become "X:...", "\\?\UNC\s\..." becomes
// "\\s\...", the plain forms they stand for; other paths stay.
void WindowsPlainForm(char16_t* path);
