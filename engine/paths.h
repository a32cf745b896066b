// Path building shared by measuring and removal. Paths live in buffers of
// kPathUnits (MAX_PATH) units, terminator included; a path that does not fit
// is never used, and the entry it belongs to is skipped.
#pragma once

#include <cstddef>
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
// Units of the parent of a normalised path of `length` units ("C:\a" for
// "C:\a\b", "C:\" for "C:\b"); 0 when it has none. The name follows the
// parent's separator.
size_t ParentLength(const char16_t* path, size_t length);

// Expands the item's location into out. False when the expansion fails or
// does not fit: callers treat that like a location that does not exist.
bool ExpandLocation(const char16_t* path, char16_t* out);

// Lexical normalisation in place: '\' as the only separator, no repeated or
// trailing one (a root keeps its own), "." and ".." resolved (never above
// the root). With Windows path syntax the "\\?\" and "\\.\" forms of a drive
// path and "\\?\UNC\" become the plain forms they stand for. Where names ignore case (Windows) the trailing dots and spaces
// that Win32 path parsing drops are dropped here too, so every later call
// names the same entry whichever path form it uses.
void NormalizePath(char16_t* path);

// Why a location is refused when it is a protected folder or holds one.
extern const char16_t kProtectedReason[];

enum LocationState { LOCATION_OK, LOCATION_UNEXPANDED, LOCATION_UNSAFE };

// Expands and normalises an item's location into out, then refuses it
// (LOCATION_UNSAFE, with a reason for the trace) when it is not absolute, is
// a drive or share root, or is or contains one of the system's protected
// folders by its spelling (the Windows and system folders, Program Files,
// ProgramData, the Users folder, the profile, Desktop, Documents), or when
// the list of those cannot be read in full. This is the check on text only;
// the location is then opened and checked by identity (engine/guard.h).
// A refused location is never measured or cleaned, whatever an environment
// variable says.
LocationState PrepareLocation(const char16_t* path, char16_t* out, const char16_t** reason);
