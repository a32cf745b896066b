// Removal primitives: the four walks that delete things on disk, each
// counting every single delete into a CleanTally and never stopping at a
// failure.
//
// No walk ever enters a junction or symbolic link: a directory link met on
// the way is removed as a link (its target and everything in it stay), a
// file link is deleted as a link, and a location that is a link or lies
// behind one is left alone. Each entry is reached through its parent folder held open, so
// a link put in place of a folder while the walk is inside it changes
// nothing: a cleaning run can never reach outside the location.
//
// Counting: an entry whose path would pass 259 units counts one failure
// (206); a location that exists but cannot be opened or listed counts its
// code; a missing location (DeleteTree aside) and a location that is a link
// count nothing.
#pragma once

#include "engine/tally.h"

#include <cstdint>

// Removes dir and everything below it, children before their parent. A
// folder that keeps some content fails (145) and so does each folder above
// it. A dir that is itself a link is removed as a link.
void DeleteTree(const char16_t* dir, CleanTally* tally);
// Removes everything below dir and keeps dir; nothing when dir is a link.
void DeleteContents(const char16_t* dir, CleanTally* tally);
// Removes the entries directly inside dir that match pattern (a matching
// folder is removed whole). No match counts nothing.
void DeleteMatching(const char16_t* dir, const char16_t* pattern, CleanTally* tally);
// Removes what pattern names below dir, by the folder-pattern rules of
// WalkFolderPattern (engine/walk.h): a target that is missing is nothing to
// remove and counts nothing.
void DeleteSubdirPattern(const char16_t* dir, const char16_t* pattern, int32_t depth, CleanTally* tally);

// The single-file step: deletes the file path names (a file link as a link),
// clearing its read-only bit first when its listing shows one; counted.
void DeleteFileCounted(const char16_t* path, CleanTally* tally);
