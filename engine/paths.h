// Path building shared by measuring and removal. Paths live in buffers of
// kPathUnits (MAX_PATH) units, terminator included; a path that does not fit
// is never used, and the entry it belongs to is skipped.
#pragma once

#include <cstdint>

constexpr int kPathUnits = 260;

// "." and ".." exactly; every other name is a real entry.
inline bool IsDotEntry(const char16_t* name) {
    return name[0] == u'.' && (name[1] == 0 || (name[1] == u'.' && name[2] == 0));
}

// out = dir + "\" + name; false (out empty) when it does not fit.
bool JoinPath(char16_t* out, const char16_t* dir, const char16_t* name);
// out = dir + "\*"; false (out empty) when it does not fit.
bool MakeSearchPath(char16_t* out, const char16_t* dir);

// Expands the item's location into out. False when the expansion fails or
// does not fit: callers treat that like a location that does not exist.
bool ExpandLocation(const char16_t* path, char16_t* out);

// True when `dir` followed by the components of `relative` passes through a
// reparse point (junction or link) at a component that exists: any
// component, or (includeLast false) any but the last. Such a path leads
// outside the location and is neither measured nor cleaned.
bool RelativePathCrossesLink(const char16_t* dir, const char16_t* relative, bool includeLast);
