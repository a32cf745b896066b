// Stand-in for System Restore in the GUI tests' build of the program (Wine
// has no System Restore, and its WMI no SystemRestore class). What WMI would
// answer comes from NORVALE_TEST_RESTORE: "fail", or the shadow storage
// used on the system volume in bytes, ':' and the points' sequence numbers
// separated by ','. Each removal is appended to NORVALE_TEST_CALLS as
// "remove-restore-point N", and the point is gone from the next reading.
#include "platform/restore_points.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace {

std::mutex g_removedLock;
std::set<uint32_t> g_removed;

void Record(const char* call, uint32_t sequence) {
    const char* path = std::getenv("NORVALE_TEST_CALLS");
    if (!path) return;
    FILE* file = std::fopen(path, "a");
    if (!file) return;
    std::fprintf(file, "%s %u\n", call, static_cast<unsigned>(sequence));
    std::fclose(file);
}

}  // namespace

bool ReadRestorePoints(RestorePointFacts* out, int32_t* hresult) {
    *out = RestorePointFacts{};
    const char* facts = std::getenv("NORVALE_TEST_RESTORE");
    if (!facts || std::strcmp(facts, "fail") == 0) {
        *hresult = static_cast<int32_t>(0x80041003);  // WBEM_E_ACCESS_DENIED
        return false;
    }
    char* end = nullptr;
    const unsigned long long used = std::strtoull(facts, &end, 10);
    // The system volume's entry as WMI writes it, each backslash twice,
    // beside another volume's that must not count.
    wchar_t volume[64] = L"";
    GetVolumeNameForVolumeMountPointW(L"C:\\", volume, 64);
    std::u16string reference = u"Win32_Volume.DeviceID=\"";
    for (const wchar_t* p = volume; *p; ++p) {
        reference += static_cast<char16_t>(*p);
        if (*p == L'\\') reference += u'\\';
    }
    reference += u"\"";
    out->storage.push_back({u"Win32_Volume.DeviceID=\"\\\\\\\\?\\\\Volume{00000000-0000-0000-0000-000000000001}\\\\\"",
                            999});
    out->storage.push_back({reference, used});
    while (end && (*end == ':' || *end == ',')) {
        const char* at = end + 1;
        const unsigned long sequence = std::strtoul(at, &end, 10);
        if (end == at) break;
        std::lock_guard<std::mutex> hold(g_removedLock);
        if (!g_removed.count(static_cast<uint32_t>(sequence))) out->sequences.push_back(static_cast<uint32_t>(sequence));
    }
    *hresult = 0;
    return true;
}

uint32_t RemoveRestorePoint(uint32_t sequence) {
    Record("remove-restore-point", sequence);
    std::lock_guard<std::mutex> hold(g_removedLock);
    g_removed.insert(sequence);
    return 0;
}
