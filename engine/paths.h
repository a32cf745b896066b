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

// Lexical normalisation in place: '\' as the only separator, no repeated or
// trailing one (a root keeps its own), "." and ".." resolved (never above
// the root). Where names ignore case (Windows) the trailing dots and spaces
// that Win32 path parsing drops are dropped here too, so every later call
// names the same entry whichever path form it uses.
void NormalizePath(char16_t* path);

enum LocationState { LOCATION_OK, LOCATION_UNEXPANDED, LOCATION_UNSAFE };

// Expands and normalises an item's location into out, then refuses it
// (LOCATION_UNSAFE, with a reason for the trace) when it is not absolute, is
// a drive or share root, or is or contains one of the system's protected
// folders (the Windows and system folders, Program Files, ProgramData, the
// Users folder, the profile, Desktop, Documents). Such a location is never
// measured or cleaned, whatever an environment variable says.
LocationState PrepareLocation(const char16_t* path, char16_t* out, const char16_t** reason);

// True when `dir` followed by the components of `relative` passes through a
// reparse point (junction or link) at a component that exists: any
// component, or (includeLast false) any but the last. Such a path leads
// outside the location and is neither measured nor cleaned.
bool RelativePathCrossesLink(const char16_t* dir, const char16_t* relative, bool includeLast);
