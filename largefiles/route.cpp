#include "largefiles/route.h"

#include "largefiles/mft.h"
#include "largefiles/space_scan.h"
#include "platform/fs.h"
#include "text/format.h"

namespace {

bool ReadVolume(void* volume, uint64_t offset, void* buffer, size_t length) {
    return FsReadVolume(static_cast<FsVolume>(volume), offset, buffer, length);
}

void Say(ScanRouteInfo* info, ScanRoute route, const char16_t* why, uint32_t error) {
    if (!info) return;
    info->route = route;
    FormatText(info->why, 96, why, static_cast<int32_t>(error));
}

// The MFT where the volume opens and is NTFS, else the walk (also after any
// failure of the MFT before something was published). what names the
// search in the trace.
template <typename ReadMft, typename Walk>
int32_t ThroughMftOrWalk(const char16_t* root, const char16_t* what, ScanRouteInfo* info, ReadMft readMft, Walk walk) {
    FsVolume volume = FsOpenVolume(root);
    if (!volume) {
        const uint32_t error = FsLastError();
        Say(info, ROUTE_WALK, u"the volume cannot be opened (error %d)", error);
        Trace(u"[%s] 无法打开卷 (错误 %d)，逐个目录扫描", what, static_cast<int32_t>(error));
    } else {
        const int32_t result = readMft(volume);
        FsCloseVolume(volume);
        if (result != kScanNotNtfs) {
            Say(info, ROUTE_MFT, u"", 0);
            Trace(u"[%s] 读取主文件表 (MFT)，结果 %d", what, result);
            return result;
        }
        Say(info, ROUTE_WALK, u"not NTFS, or its MFT cannot be read", 0);
        Trace(u"[%s] 不是 NTFS 或主文件表无法读取，逐个目录扫描", what);
    }
    return walk();
}

}  // namespace

int32_t ScanDriveLargeFiles(const char16_t* root, uint64_t minimumSize, LargeFileEntry** outEntries, int32_t* outCount,
                            ScanProgressCallback progress, ScanCancelledCallback cancelled, void* context,
                            ScanRouteInfo* info) {
    if (!root) return 0;
    return ThroughMftOrWalk(
        root, u"大文件扫描", info,
        [&](FsVolume volume) {
            return ScanMftLargeFiles(ReadVolume, volume, root, minimumSize, outEntries, outCount, progress, cancelled,
                                     context);
        },
        [&] { return ScanLargeFiles(root, minimumSize, outEntries, outCount, progress, cancelled, context); });
}

int32_t ScanDriveSpaceTree(const char16_t* root, uint64_t usedBytes, SpaceTree** out, ScanProgressCallback progress,
                           ScanCancelledCallback cancelled, void* context, ScanRouteInfo* info, SpaceLiveCallback live) {
    if (!root || !out) return -1;
    return ThroughMftOrWalk(
        root, u"空间分析", info,
        [&](FsVolume volume) { return ScanSpaceTreeMft(ReadVolume, volume, out, progress, cancelled, context); },
        [&] { return ScanSpaceTreeWalk(root, usedBytes, out, progress, cancelled, context, 0, nullptr, live); });
}
