// Runs one of the program's walks over a native folder, for timing against
// find and du by bench/run.
//
//   norvale_scan_bench scan ROOT MINIMUM [--list]   both passes of ScanLargeFiles
//   norvale_scan_bench mft IMAGE MINIMUM [--list]   ScanMftLargeFiles over an NTFS
//                                                  image file as the volume "C:"
//   norvale_scan_bench size ROOT           DirectorySize
//   norvale_scan_bench delete ROOT         DeleteContents (ROOT stays, emptied)
// Prints the result and the process's peak resident set in KiB; --list
// first prints each file found as SIZE<TAB>PATH (UTF-8), in the order found.
#include "engine/measure.h"
#include "engine/remove.h"
#include "largefiles/mft.h"
#include "largefiles/scanner.h"
#include "text/text16.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

bool ReadImage(void* volume, uint64_t offset, void* buffer, size_t length) {
    const int fd = *static_cast<int*>(volume);
    return pread(fd, buffer, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
}

void List(const LargeFileEntry* entries, int32_t count) {
    char path[1024];
    for (int32_t i = 0; i < count; ++i) {
        if (!Utf16ToUtf8(entries[i].path, path, sizeof path)) continue;
        std::printf("%llu\t%s\n", static_cast<unsigned long long>(entries[i].size), path);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s scan ROOT MINIMUM [--list] | mft IMAGE MINIMUM [--list] | size ROOT | delete ROOT\n",
                     argv[0]);
        return 2;
    }
    static char16_t root[4096];
    if (!Utf8ToUtf16(argv[2], root, 4096)) return 2;
    struct rusage usage;
    if (std::strcmp(argv[1], "scan") == 0 && argc > 3) {
        LargeFileEntry* entries = nullptr;
        int32_t count = 0;
        uint64_t minimum = std::strtoull(argv[3], nullptr, 10);
        if (ScanLargeFiles(root, minimum, &entries, &count, nullptr, nullptr, nullptr) != 0) return 1;
        if (argc > 4 && std::strcmp(argv[4], "--list") == 0) List(entries, count);
        getrusage(RUSAGE_SELF, &usage);
        std::printf("found %d files, peak RSS %ld KiB\n", count, usage.ru_maxrss);
        std::free(entries);
    } else if (std::strcmp(argv[1], "mft") == 0 && argc > 3) {
        int fd = open(argv[2], O_RDONLY);
        if (fd < 0) return 1;
        LargeFileEntry* entries = nullptr;
        int32_t count = 0;
        uint64_t minimum = std::strtoull(argv[3], nullptr, 10);
        int32_t result = ScanMftLargeFiles(ReadImage, &fd, u"C:\\", minimum, &entries, &count, nullptr, nullptr, nullptr);
        close(fd);
        if (result != 0) {
            std::fprintf(stderr, result == kScanNotNtfs ? "not an NTFS volume, or its MFT cannot be read\n" : "out of memory\n");
            return 1;
        }
        if (argc > 4 && std::strcmp(argv[4], "--list") == 0) List(entries, count);
        getrusage(RUSAGE_SELF, &usage);
        std::printf("found %d files, peak RSS %ld KiB\n", count, usage.ru_maxrss);
        std::free(entries);
    } else if (std::strcmp(argv[1], "size") == 0) {
        unsigned long long size = DirectorySize(root);
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%llu bytes, peak RSS %ld KiB\n", size, usage.ru_maxrss);
    } else if (std::strcmp(argv[1], "delete") == 0) {
        CleanTally tally = {0, 0, 0, 0, 0};
        DeleteContents(root, &tally);
        getrusage(RUSAGE_SELF, &usage);
        std::printf("deleted %d, failed %d, peak RSS %ld KiB\n", tally.deleted,
                    tally.accessDenied + tally.inUse + tally.notFound + tally.otherError, usage.ru_maxrss);
    } else {
        return 2;
    }
    return 0;
}
