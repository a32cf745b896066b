#include "engine/drivers.h"

#include "engine/paths.h"
#include "engine/walk.h"
#include "text/text16.h"

#include <memory>
#include <new>

namespace {

// More than any machine has: Windows keeps a few hundred at most.
constexpr int kMaxPackages = 2048;

char16_t Fold(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool SameText(const char16_t* a, const char16_t* b) {
    for (; *a && *b; ++a, ++b) {
        if (Fold(*a) != Fold(*b)) return false;
    }
    return *a == *b;
}

// "oem" digits ".inf": the names Windows gives third-party packages.
bool IsThirdParty(const char16_t* published) {
    if (Fold(published[0]) != u'O' || Fold(published[1]) != u'E' || Fold(published[2]) != u'M') return false;
    const char16_t* p = published + 3;
    if (*p < u'0' || *p > u'9') return false;
    while (*p >= u'0' && *p <= u'9') ++p;
    return SameText(p, u".inf");
}

const char16_t* SkipSpaces(const char16_t* p) {
    while (*p == u' ' || *p == u'\t') ++p;
    return p;
}

// Digits into *value, at most `limit`; false without a digit.
bool Number(const char16_t** text, uint64_t limit, uint64_t* value) {
    const char16_t* p = SkipSpaces(*text);
    if (*p < u'0' || *p > u'9') return false;
    uint64_t n = 0;
    while (*p >= u'0' && *p <= u'9') {
        n = n * 10 + static_cast<uint64_t>(*p - u'0');
        if (n > limit) return false;
        ++p;
    }
    *value = n;
    *text = SkipSpaces(p);
    return true;
}

bool Older(const DriverVersion& a, const DriverVersion& b) {
    return a.date != b.date ? a.date < b.date : a.version < b.version;
}

struct PackageList {
    std::unique_ptr<FsDriverPackage[]> packages;
    std::unique_ptr<bool[]> superseded;
    int count = 0;
};

bool ListSuperseded(PackageList* list) {
    list->packages.reset(new (std::nothrow) FsDriverPackage[kMaxPackages]);
    list->superseded.reset(new (std::nothrow) bool[kMaxPackages]);
    if (!list->packages || !list->superseded) return false;
    list->count = FsListDriverPackages(list->packages.get(), kMaxPackages);
    if (list->count < 0) return false;
    MarkSupersededPackages(list->packages.get(), list->count, list->superseded.get());
    return true;
}

}  // namespace

bool ParseDriverVer(const char16_t* text, DriverVersion* out) {
    uint64_t month = 0, day = 0, year = 0;
    const char16_t* p = text;
    if (!Number(&p, 12, &month) || *p++ != u'/' || !Number(&p, 31, &day) || *p++ != u'/' || !Number(&p, 9999, &year) ||
        month == 0 || day == 0)
        return false;
    out->date = static_cast<uint32_t>(year * 10000 + month * 100 + day);
    out->version = 0;
    if (*p != u',') return *p == 0;
    ++p;
    for (int part = 0; part < 4; ++part) {
        uint64_t value = 0;
        if (!Number(&p, 65535, &value)) break;
        out->version |= value << (16 * (3 - part));
        if (*p != u'.') break;
        ++p;
    }
    return true;
}

void MarkSupersededPackages(const FsDriverPackage* packages, int count, bool* superseded) {
    for (int i = 0; i < count; ++i) {
        superseded[i] = false;
        DriverVersion mine;
        if (!IsThirdParty(packages[i].published) || !ParseDriverVer(packages[i].driverVer, &mine)) continue;
        for (int j = 0; j < count && !superseded[i]; ++j) {
            DriverVersion other;
            if (j == i || !ParseDriverVer(packages[j].driverVer, &other)) continue;
            superseded[i] = SameText(packages[i].original, packages[j].original) &&
                            SameText(packages[i].provider, packages[j].provider) &&
                            SameText(packages[i].driverClass, packages[j].driverClass) && Older(mine, other);
        }
    }
}

void WalkSupersededPackages(Walk* walk) {
    PackageList list;
    if (!ListSuperseded(&list)) return;
    for (int i = 0; i < list.count; ++i) {
        const FsDriverPackage& package = list.packages[i];
        if (!list.superseded[i] || !package.storeFolder[0]) continue;
        FsDir dir = FsOpenDir(package.storeFolder, false);
        if (!dir) continue;
        WalkFrom(walk, package.storeFolder);
        WalkMatching(walk, HeldFolder{dir, Text16Length(package.storeFolder)}, u"*", false);
        FsCloseDir(dir, false);
    }
}

uint64_t SupersededPackagesSize() {
    Walk walk = {WALK_MEASURE, 0, nullptr, nullptr, {0}};
    WalkSupersededPackages(&walk);
    return walk.bytes;
}

void RemoveSupersededPackages(CleanTally* tally) {
    PackageList list;
    if (!ListSuperseded(&list)) {
        TallyResult(tally, 0, list.superseded ? FsLastError() : static_cast<uint32_t>(FS_ERROR_NOT_ENOUGH_MEMORY));
        return;
    }
    for (int i = 0; i < list.count; ++i) {
        if (!list.superseded[i]) continue;
        bool removed = FsRemoveDriverPackage(list.packages[i].published);
        TallyResult(tally, removed ? 1 : 0, removed ? 0 : FsLastError());
    }
}
