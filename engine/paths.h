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

// Where a %NAME% of a location takes its value from. The environment is the
// user's: any process of theirs can set it (HKCU\Environment) for an
// elevated Norvale too. So the folders the system knows come from the
// system, and the folders that stay the user's choice are marked, to be
// confined to the user's profile when the process is elevated.
enum VariableSource {
    VAR_WINDOWS,       // WINDIR, SystemRoot: the system's Windows folder
    VAR_SYSTEM_DRIVE,  // SYSTEMDRIVE: that folder's drive ("C:")
    VAR_PROGRAM_DATA,  // PROGRAMDATA: the ProgramData known folder
    VAR_PROFILE,       // USERPROFILE: the profile registered for the process's user
    VAR_USER_CHOICE,   // LOCALAPPDATA, APPDATA, TEMP, TMP: the environment, confined when elevated
    VAR_ENVIRONMENT,   // anything else: the environment
};
VariableSource SourceOfVariable(const char16_t* name);

// Expands the item's location into out, each %NAME% from its source. False
// when the expansion fails, a system folder is unknown, or the result does
// not fit: callers treat that like a location that does not exist. With
// userChoice, whether a VAR_USER_CHOICE variable was expanded.
bool ExpandLocation(const char16_t* path, char16_t* out, bool* userChoice = nullptr);

// Lexical normalisation in place: '\' as the only separator, no repeated or
// trailing one (a root keeps its own), "." and ".." resolved (never above
// the root). With Windows path syntax the "\\?\" and "\\.\" forms of a drive
// path and "\\?\UNC\" become the plain forms they stand for. Where names ignore case (Windows) the trailing dots and spaces
// that Win32 path parsing drops are dropped here too, so every later call
// names the same entry whichever path form it uses.
void NormalizePath(char16_t* path);

// Why a location is refused. The engine only names the reason; the trace
// spells it with LocationRefusalKey.
enum LocationRefusal {
    REFUSED_NONE,
    REFUSED_NOT_ABSOLUTE,
    REFUSED_DRIVE_ROOT,
    REFUSED_PROTECTED,               // a protected folder or one that holds one
    REFUSED_PROTECTED_UNKNOWN,       // the protected folders cannot all be read
    REFUSED_PROTECTED_IDS_UNKNOWN,   // ... nor their identities
    REFUSED_NOT_A_FILE,              // a one-file location without a folder
    REFUSED_PROFILE_UNKNOWN,         // confined, and the profile cannot be named
    REFUSED_OUTSIDE_PROFILE,         // confined, and not inside the profile
    REFUSED_IDENTITY_UNKNOWN,        // the location's own identity cannot be read
};

// A short ASCII key for the trace ("protected", "outside-profile ...").
const char16_t* LocationRefusalKey(LocationRefusal reason);

enum LocationState { LOCATION_OK, LOCATION_UNEXPANDED, LOCATION_UNSAFE };

// Room for the protected folders as FsProtectedFolders lists them.
constexpr uint32_t kProtectedListUnits = 40 * kPathUnits;

// Expands and normalises an item's location into out, then refuses it
// (LOCATION_UNSAFE, with a reason for the trace) when it is not absolute, is
// a drive or share root, or is or contains one of the system's protected
// folders by its spelling (the Windows and system folders, Program Files,
// ProgramData, the Users folder, the profile and its folders of personal
// files, AppData's Local and Roaming, the Public folders), or when the list
// of those cannot be read in full. This is the check on text only; the
// location is then opened and checked by identity (engine/guard.h).
// *confined (when given) tells whether the location must lie inside the
// user's profile: it was built from a variable the user chooses and the
// process runs elevated (as the platform reports it, whatever the caller
// believes). A refused location is never measured or cleaned, whatever an
// environment variable says.
LocationState PrepareLocation(const char16_t* path, char16_t* out, LocationRefusal* reason, bool* confined = nullptr);
