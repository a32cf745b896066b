// An in-memory file system behind the seam of platform/fs.h, for tests.
//
// Paths are "X:\a\b"; lookups ignore letter case (Latin-1 included) and
// repeated separators. Every entry has an identity of its own.
// Listings give "." and ".." and then the children in insertion order.
// Links (reparse points) lead to a target path, and the calls that follow
// links on Windows follow them here: listing through a link shows the
// target's entries, so a walk that wrongly enters a link is caught. Any call
// on any path can be made to fail with a given Win32 code, and an entry can
// be swapped for a link between two calls, as a hostile process would.
// Folders held open for removal follow their node wherever it moves, as a
// handle follows its file; nodes taken out of the tree stay valid.
#pragma once

#include "platform/fs.h"

#include <cstdint>
#include <string>
#include <vector>

enum class FakeOp { List, SetAttributes, DeleteFile, RemoveDirectory, Open };

void FakeFsReset();
// Creates missing parents as plain directories.
void FakeFsAddDir(const char16_t* path, uint32_t extraAttributes = 0);
void FakeFsAddFile(const char16_t* path, uint64_t size, uint32_t extraAttributes = 0);
// A second listed name of the file at existing (a hard link): one identity.
void FakeFsAddHardLink(const char16_t* path, const char16_t* existing);
// A junction (directory) or file link at path, pointing at target.
void FakeFsAddLink(const char16_t* path, const char16_t* target, bool directory);
// The entry's last write time as its listing shows it (FILETIME units);
// 0, the default, when not known.
void FakeFsSetModified(const char16_t* path, uint64_t modified);
// Gives the entry at path the reparse attribute with this tag (compressed,
// deduplicated and cloud files carry one without being links).
void FakeFsSetReparseTag(const char16_t* path, uint32_t tag);

// Once `op` has been called on triggerPath, the next call of any kind first
// finds the entry at entryPath moved away (to "C:\~moved\<n>") and a link to
// target in its place (a folder link when target is a folder).
void FakeFsSwapAfter(FakeOp op, const char16_t* triggerPath, const char16_t* entryPath, const char16_t* target);
// Once `op` has been called on triggerPath, the next call first makes the
// folders at entryPath and otherPath trade places (a rename exchange): each
// path then names a plain folder, but not the one it named before.
void FakeFsExchangeAfter(FakeOp op, const char16_t* triggerPath, const char16_t* entryPath, const char16_t* otherPath);
// The same swap at once.
void FakeFsSwapNow(const char16_t* entryPath, const char16_t* target);
// A folder that no cleaning location may be or contain.
void FakeFsProtect(const char16_t* path);
// From now on the list of protected folders cannot be read in full.
void FakeFsBreakProtectedList();
// Gives the drive a volume (an image's bytes) for FsOpenVolume; the others
// refuse with 5, as without administrator rights.
void FakeFsSetVolume(char16_t letter, std::vector<uint8_t> bytes);
// A second name for the existing entry, not a link and never listed: what an
// 8.3 name, a second drive letter ("S:" for "C:") or another spelling of the
// same folder is. Both names have one identity.
void FakeFsAddAlias(const char16_t* path, const char16_t* existing);

// What FsVolumeUsedBytes answers for every drive; 0 (the default): it
// cannot be read.
void FakeFsSetUsedBytes(uint64_t used);

// The call `op` on exactly this path fails with code from now on.
void FakeFsFail(FakeOp op, const char16_t* path, uint32_t code);
// How often `op` was called on this path.
int FakeFsCalls(FakeOp op, const char16_t* path);

bool FakeFsExists(const char16_t* path);
uint32_t FakeFsAttributes(const char16_t* path);
int FakeFsEntryCount();  // every node below the drives, links included
// Every file (file links included) by its real path, case-folded as the
// fake compares names; what lies in folder links is not theirs.
std::vector<std::u16string> FakeFsFiles();

void FakeFsSetEnv(const char16_t* name, const char16_t* value);
// What the system says a folder is (null: it does not know), and whether the
// process runs elevated; by default nothing is known and it does not.
void FakeFsSetSystemFolder(FsSystemFolder folder, const char16_t* path);
void FakeFsSetElevated(bool elevated);
// A third-party driver package in the store; removing one that a device
// uses fails with 32, and a removal takes its store folder with it.
void FakeFsAddDriverPackage(const FsDriverPackage& package, bool inUse);
int FakeFsDriverPackageCount();
void FakeFsAddDrive(const char16_t* root, uint32_t type);
// The security id the process runs as, kFakeUserSid unless set; empty: it
// cannot be read. Emptying the bins empties this user's folder in each.
constexpr const char16_t* kFakeUserSid = u"S-1-5-21-7-1001";
void FakeFsSetUserSid(const char16_t* sid);
// Opens, listings and space reads of entries whose data is remote
// (FsDataIsRemote): each would make Windows fetch it. Deletions are not
// counted: Windows deletes them without a recall.
int FakeFsRecalls();
int FakeFsRecycleEmptyCalls();
