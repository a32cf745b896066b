// A scratch folder on whichever file system the test binary is linked with
// (the in-memory fake, the posix backend on real files, or Win32 under Wine
// on real files), so one scenario suite runs against all three.
#pragma once

#include <cstdint>
#include <string>

// Starts a fresh, empty root (the previous one is removed).
void TreeFresh();
// Removes the current root and everything below it.
void TreeRemove();
const std::u16string& TreeRoot();
// root + "\" + relative, or the root itself for an empty relative path.
std::u16string TreePath(const std::u16string& relative);

// Parents are created as needed. Sizes on disk are sparse. The attributes
// are FS_ATTR_READONLY / HIDDEN / SYSTEM bits (ignored where the platform
// has no such thing).
void TreeDir(const std::u16string& relative);
void TreeFile(const std::u16string& relative, uint64_t size, uint32_t attributes = 0);
// Writes content bytes (for byte-for-byte checks).
void TreeFileContent(const std::u16string& relative, const std::string& content);
// A link to a directory (junction or symbolic link) or to a file, at
// relative, pointing at targetRelative. False when the platform cannot make one.
bool TreeDirLink(const std::u16string& relative, const std::u16string& targetRelative);
// The same with a target given by its full path, anywhere.
bool TreeDirLinkTo(const std::u16string& relative, const std::u16string& target);
bool TreeFileLink(const std::u16string& relative, const std::u16string& targetRelative);

// As another process would: moves the folder at relative aside and puts a
// directory link to targetRelative in its place (Windows: from the Linux side
// under Wine). False where that cannot be done.
bool TreeSwapForLink(const std::u16string& relative, const std::u16string& targetRelative);
// Arms another process that, at the first delete in the folder `watched`
// (or its first open, with onOpen), moves the folder at `swapped` aside and
// puts a directory link to targetRelative in its place. Returns once armed;
// TreeSwapFinished waits until it has swapped or given up. False where no
// such process can be run (Windows: Wine's Linux side only).
bool TreeSwapOnEvent(const std::u16string& watched, bool onOpen, const std::u16string& swapped,
                     const std::u16string& targetRelative);
void TreeSwapFinished();

// A second hard link at relative to the file at targetRelative; false where
// there are none. And whether a file carries the read-only bit.
bool TreeHardLink(const std::u16string& relative, const std::u16string& targetRelative);
bool TreeReadOnly(const std::u16string& relative);

bool TreeExists(const std::u16string& relative);
// False where a directory link cannot be removed as a link once made: under
// Wine a link made on the Linux side stays (removal fails with 145).
bool TreeDirLinksRemovable();
// The native path of an entry where the backend has one (posix), for tests
// that act as another process would; empty elsewhere.
std::string TreeNativePath(const std::u16string& relative);

// Keeps the file open without sharing, so deleting it fails as "in use",
// until TreeReleaseHeld. False where the platform has no such lock (posix).
bool TreeHoldOpen(const std::u16string& relative);
void TreeReleaseHeld();

// Every path below the root (relative, '/'-separated) with its kind, size
// and content, sorted: equal manifests mean an untouched tree.
std::string TreeManifest(const std::u16string& relative);

// Which file system this binary runs on: "fake", "posix" or "win32".
const char* TreeBackendName();
