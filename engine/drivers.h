// The driver store item: third-party driver packages that a newer package
// of the same driver supersedes, measured by their folders in the store and
// removed through the system. No file of the store is ever deleted here.
#pragma once

#include "engine/tally.h"
#include "platform/fs.h"

#include <cstdint>

// A DriverVer as Windows ranks it: the date first, then the version.
struct DriverVersion {
    uint32_t date;     // yyyymmdd
    uint64_t version;  // four 16-bit parts, the first highest
};
// "mm/dd/yyyy[,a.b.c.d]" (spaces allowed around the parts); false when the
// date is not one.
bool ParseDriverVer(const char16_t* text, DriverVersion* out);

// superseded[i] becomes whether packages[i] is a third-party package
// (oemN.inf) with an older DriverVer than another package of the same
// original INF name, provider and class (names compared without regard to
// letter case). A package whose DriverVer cannot be read is never removed,
// nor does it supersede.
void MarkSupersededPackages(const FsDriverPackage* packages, int count, bool* superseded);

struct Walk;
// Walks the store's folders of the superseded packages (measuring or
// collecting what their removal frees).
void WalkSupersededPackages(Walk* walk);
// The bytes in the store's folders of the superseded packages.
uint64_t SupersededPackagesSize();
// Removes each superseded package through the system, counting each into
// tally (a package that a device uses counts as in use).
void RemoveSupersededPackages(CleanTally* tally);
