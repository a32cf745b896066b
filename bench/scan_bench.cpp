// Runs one of the program's walks over a native folder, for timing against
// find and du by bench/run.
//
//   norvale_scan_bench scan ROOT MINIMUM   both passes of ScanLargeFiles
//   norvale_scan_bench size ROOT           DirectorySize
//   norvale_scan_bench delete ROOT         DeleteContents (ROOT stays, emptied)
// Prints the result and the process's peak resident set in KiB.
#include "engine/measure.h"
#include "engine/remove.h"
#include "largefiles/scanner.h"
#include "text/text16.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s scan ROOT MINIMUM | size ROOT | delete ROOT\n", argv[0]);
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
