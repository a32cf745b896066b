// The location guard: opens a prepared location and decides on the folder it
// holds, never on a spelling.
//
// The location is opened one component at a time from its root, each
// relative to the folder before it, never following a link: a location with
// a link anywhere on it (the location itself or any folder above it, such as
// "C:\Documents and Settings") is not entered. The folder it holds is then
// compared by identity with the protected folders and with every ancestor of
// theirs, so no other spelling of them (an 8.3 name, a second drive letter,
// an administrative share, letters in another case) gets through. Measuring
// and removal then walk from that same held folder.
#pragma once

#include "engine/paths.h"
#include "engine/walk.h"

#include <cstdint>

enum GuardState {
    GUARD_OK,       // held: measure or clean it
    GUARD_MISSING,  // nothing there
    GUARD_LINK,     // a link is the location or lies on the way to it
    GUARD_UNSAFE,   // a protected folder or an ancestor of one; or undecidable
    GUARD_FAILED,   // cannot be opened (the code is in *error): no access, not a folder, ...
};

// Opens location (as PrepareLocation left it) into held. With confined
// (PrepareLocation says when) it must also lie inside the user's profile
// folder: one of the folders it was reached through, each opened relative to
// the one before, is that folder by identity; elsewhere it is refused
// (GUARD_UNSAFE). On GUARD_UNSAFE reason says why, for the trace; on
// GUARD_FAILED error holds the code. Nothing is held unless GUARD_OK; the
// caller closes held.dir.
GuardState OpenGuardedLocation(const char16_t* location, bool forRemoval, bool confined, HeldFolder* held,
                               uint32_t* error, LocationRefusal* reason);

// A location that names one file: its folder opened and decided on as above,
// and the file's listing entry in it (*found false when it has none). name
// points into location.
GuardState OpenGuardedFile(const char16_t* location, bool confined, HeldFolder* held, const char16_t** name,
                           FsEntry* entry, bool* found, uint32_t* error, LocationRefusal* reason);
