// Runs one of the program's walks over a native folder, for timing against
// find and du by bench/run.
//
//   norvale_scan_bench scan ROOT MINIMUM   both passes of ScanLargeFiles
//   norvale_scan_bench size ROOT           DirectorySize
// Prints the result and the process's peak resident set in KiB.
#include "engine/measure.h"
#include "largefiles/scanner.h"
#include "platform/text16.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s scan ROOT MINIMUM | size ROOT\n", argv[0]);
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
        getrusage(RUSAGE_SELF, &usage);
        std::printf("found %d files, peak RSS %ld KiB\n", count, usage.ru_maxrss);
        std::free(entries);
    } else if (std::strcmp(argv[1], "size") == 0) {
        unsigned long long size = DirectorySize(root);
        getrusage(RUSAGE_SELF, &usage);
        std::printf("%llu bytes, peak RSS %ld KiB\n", size, usage.ru_maxrss);
    } else {
        return 2;
    }
    return 0;
}
