// Pieces of the file-system seam that every backend shares.
#pragma once

#include <cstdint>

// The root length of a path in Windows syntax: "X:\" (3), "\\server\share\"
// and the "\\?\" and "\\.\" forms of both; 0 when the path is not absolute.
uint32_t WindowsRootLength(const char16_t* path);
