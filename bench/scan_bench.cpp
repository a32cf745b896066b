// Runs one of the program's walks, for timing against find and du by
// bench/run, and the large-file search of a drive as the program runs it.
//
//   norvale_scan_bench scan ROOT MINIMUM [--list]    the large-file walk (ScanLargeFiles, one pass)
//   norvale_scan_bench mft IMAGE MINIMUM [--list]    ScanMftLargeFiles over an NTFS
//                                                   image file as the volume "C:"
//   norvale_scan_bench drive X: MINIMUM [--list] [--cancel]
//                                                   the program's route: the MFT
//                                                   where the volume opens, else
//                                                   the walk; the first line says
//                                                   which. --cancel first runs one
//                                                   search cancelled at once.
//   norvale_scan_bench tree ROOT                     the space view's walk (ScanSpaceTreeWalk)
//   norvale_scan_bench tree-mft IMAGE                the space view's tree from an image's MFT;
//                                                   also says how many bytes it read
//   norvale_scan_bench mft-read IMAGE                the MFT reader alone over an image, into a
//                                                   sink that only counts the names: what both
//                                                   MFT routes cost before their own sinks
//   norvale_scan_bench tree-drive X: [--list]        the space view's route on a drive: the
//                                                   first line says which; --list prints
//                                                   every folder as SIZE FILES FOLDERS
//                                                   FLAGS PATH (tab-separated)
//   norvale_scan_bench tree-model FOLDERS FILES      a tree filled as a Win32 walk fills it
//                                                   (no link counts: every file id kept),
//                                                   for its memory
//   norvale_scan_bench files ROOT                    ROOT holding one folder: its files listed as
//                                                   the space view lists them, timed (best of 3)
//   norvale_scan_bench size ROOT                     DirectorySize (native only)
//   norvale_scan_bench measure PROFILE               the first measurement of the catalogue
//                                                   (MeasureCatalogue) with the profile's
//                                                   folders as LOCALAPPDATA, TEMP and the
//                                                   home (native only); prints the sum
//   --live (tree): with the live fill's snapshots (four a second), made and dropped
//   --threads N (scan, tree, measure): the threads that list folders (or
//   measure items); without it, the program's default (twice the
//   processors, at most 16).
//   norvale_scan_bench delete ROOT                   cleans ROOT's contents as an item (native only)
// Prints the result and the process's peak memory in KiB; --list first
// prints each file found as SIZE<TAB>PATH (UTF-8), in the order found.
#include "engine/measure.h"
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "largefiles/mft.h"
#include "largefiles/mft_reader.h"
#include "largefiles/route.h"
#include "largefiles/scanner.h"
#include "largefiles/space_files.h"
#include "largefiles/space_scan.h"
#include "text/format.h"
#include "text/text16.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

long PeakKiB() {
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return 0;
    return static_cast<long>(counters.PeakWorkingSetSize / 1024);
#else
    struct rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
#endif
}

// The reader is called from the MFT reader's threads at once: a positioned
// read where there is one, one read at a time where not.
bool ReadImage(void* volume, uint64_t offset, void* buffer, size_t length) {
    FILE* file = static_cast<FILE*>(volume);
#ifdef _WIN32
    static std::mutex lock;
    std::lock_guard<std::mutex> guard(lock);
    if (_fseeki64(file, static_cast<long long>(offset), SEEK_SET) != 0) return false;
    return std::fread(buffer, 1, length, file) == length;
#else
    return pread(fileno(file), buffer, length, static_cast<off_t>(offset)) == static_cast<ssize_t>(length);
#endif
}

// Counts what the reader hands on, nothing more.
class CountingSink : public ntfs::RecordSink {
public:
    void Records(const ntfs::MftName* names, size_t count) override {
        for (size_t i = 0; i < count; ++i) units += names[i].record.nameLength;
        this->names += count;
    }
    void Progress(int32_t) override {}
    uint64_t names = 0, units = 0;
};

void List(const LargeFileEntry* entries, int32_t count) {
    char path[1024];
    for (int32_t i = 0; i < count; ++i) {
        if (!Utf16ToUtf8(entries[i].path, path, sizeof path)) continue;
        std::printf("%llu\t%s\n", static_cast<unsigned long long>(entries[i].size), path);
    }
}

bool Has(int argc, char** argv, const char* option) {
    for (int i = 3; i < argc; ++i) {
        if (std::strcmp(argv[i], option) == 0) return true;
    }
    return false;
}

// The value after --threads; 0 (the program's default) without one.
int32_t Threads(int argc, char** argv) {
    for (int i = 3; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--threads") == 0) return static_cast<int32_t>(std::strtol(argv[i + 1], nullptr, 10));
    }
    return 0;
}

std::atomic<uint64_t> g_bytesRead{0};

bool CountingReadImage(void* volume, uint64_t offset, void* buffer, size_t length) {
    g_bytesRead += length;
    return ReadImage(volume, offset, buffer, length);
}

int PrintTree(int32_t result, SpaceTree* tree) {
    if (result != 0 || !tree) {
        std::fprintf(stderr, result == kScanNotNtfs ? "not an NTFS volume, or its MFT cannot be read\n" : "out of memory\n");
        return 1;
    }
    const SpaceFolder& root = tree->Folder(0);
    std::printf("%u folders, %u files, %llu bytes, %llu on disk; tree %zu KiB, peak RSS %ld KiB\n", root.folders,
                root.files, static_cast<unsigned long long>(root.size), static_cast<unsigned long long>(root.space),
                tree->MemoryBytes() / 1024, PeakKiB());
    delete tree;
    return 0;
}

void ListFolders(const SpaceTree& tree, uint32_t folder, const std::string& path) {
    const SpaceFolder& f = tree.Folder(folder);
    std::printf("%llu\t%u\t%u\t%u\t%s\n", static_cast<unsigned long long>(f.size), f.files, f.folders,
                static_cast<unsigned>(f.flags), path.empty() ? "\\" : path.c_str());
    char name[1024];
    for (uint32_t child : tree.Children(folder)) {
        if (!Utf16ToUtf8(tree.Name(tree.Folder(child).name), name, sizeof name)) continue;
        ListFolders(tree, child, path + "\\" + name);
    }
}

int PrintResult(int32_t result, LargeFileEntry* entries, int32_t count, bool list) {
    if (result != 0) {
        std::fprintf(stderr, result == kScanNotNtfs ? "not an NTFS volume, or its MFT cannot be read\n" : "out of memory\n");
        return 1;
    }
    if (list) List(entries, count);
    std::printf("found %d files, peak RSS %ld KiB\n", count, PeakKiB());
    std::free(entries);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr,
                     "usage: %s scan ROOT MINIMUM [--list] | mft IMAGE MINIMUM [--list] | drive X: MINIMUM [--list] "
                     "[--cancel] | tree ROOT | tree-mft IMAGE | mft-read IMAGE | tree-drive X: [--list] | tree-model FOLDERS FILES | size ROOT "
                     "| delete ROOT | measure PROFILE\n"
                     "  --threads N  the walk's listing threads (scan, tree, measure); default: twice the processors, at most 16\n",
                     argv[0]);
        return 2;
    }
    static char16_t root[4096];
    if (!Utf8ToUtf16(argv[2], root, 4096)) return 2;
    const bool list = Has(argc, argv, "--list");
    const uint64_t minimum = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
    const int32_t threads = Threads(argc, argv);
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    if (std::strcmp(argv[1], "scan") == 0 && argc > 3) {
        // Scanned first: as arguments, entries and count could be read before the scan fills them.
        const int32_t result = ScanLargeFiles(root, minimum, &entries, &count, nullptr, nullptr, nullptr, threads);
        return PrintResult(result, entries, count, list);
    }
    if (std::strcmp(argv[1], "mft") == 0 && argc > 3) {
        FILE* image = std::fopen(argv[2], "rb");
        if (!image) return 1;
        int32_t result =
            ScanMftLargeFiles(CountingReadImage, image, u"C:\\", minimum, &entries, &count, nullptr, nullptr, nullptr);
        std::fclose(image);
        if (!list) std::printf("read %llu bytes of the volume\n", static_cast<unsigned long long>(g_bytesRead.load()));
        return PrintResult(result, entries, count, list);
    }
    if (std::strcmp(argv[1], "tree") == 0) {
        SpaceTree* tree = nullptr;
        // --live: the snapshots the space view shows while it scans, made
        // and dropped as a window that takes each at once would.
        SpaceLiveCallback live = nullptr;
        if (Has(argc, argv, "--live")) live = [](SpaceTree* snapshot, void*) { delete snapshot; };
        const int32_t result = ScanSpaceTreeWalk(root, 0, &tree, nullptr, nullptr, nullptr, threads, nullptr, live);
        return PrintTree(result, tree);
    }
    if (std::strcmp(argv[1], "tree-drive") == 0) {
        char16_t drive[4] = {root[0], u':', u'\\', 0};
        ScanRouteInfo info;
        SpaceTree* tree = nullptr;
        const int32_t result = ScanDriveSpaceTree(drive, 0, &tree, nullptr, nullptr, nullptr, &info);
        char why[256];
        if (info.route == ROUTE_MFT) {
            std::printf("route: mft\n");
        } else {
            std::printf("route: walk (%s)\n", Utf16ToUtf8(info.why, why, sizeof why) ? why : "?");
        }
        if (result == 0 && tree && argc > 3 && std::strcmp(argv[3], "--list") == 0) ListFolders(*tree, 0, "");
        return PrintTree(result, tree);
    }
    if (std::strcmp(argv[1], "tree-model") == 0 && argc > 3) {
        const uint32_t folders = static_cast<uint32_t>(std::strtoul(argv[2], nullptr, 10));
        const uint64_t files = std::strtoull(argv[3], nullptr, 10);
        SpaceTree* tree = new SpaceTree();
        char16_t name[64];
        for (uint32_t i = 1; i <= folders; ++i) {
            FormatText(name, 64, u"folder-%d", static_cast<int32_t>(i));
            tree->AddFolder(i / 10, name, Text16Length(name), 0);
        }
        for (uint64_t i = 0; i < files; ++i) {
            FormatText(name, 64, u"file-%d.dat", static_cast<int32_t>(i));
            // One file in 20 of 5 MB, the rest 50 KB, as a drive's files run.
            const uint64_t size = i % 20 == 0 ? 5242880 : 51200;
            tree->AddFile(static_cast<uint32_t>(i % (folders + 1)), name, Text16Length(name), size, size, i + 1, 0, 0);
        }
        tree->Finish();
        return PrintTree(0, tree);
    }
    if (std::strcmp(argv[1], "tree-mft") == 0) {
        FILE* image = std::fopen(argv[2], "rb");
        if (!image) return 1;
        SpaceTree* tree = nullptr;
        const int32_t result = ScanSpaceTreeMft(CountingReadImage, image, &tree, nullptr, nullptr, nullptr);
        std::fclose(image);
        std::printf("read %llu bytes of the volume\n", static_cast<unsigned long long>(g_bytesRead.load()));
        return PrintTree(result, tree);
    }
    if (std::strcmp(argv[1], "mft-read") == 0) {
        FILE* image = std::fopen(argv[2], "rb");
        if (!image) return 1;
        CountingSink sink;
        std::vector<uint16_t> upcase;
        const int32_t result = ntfs::ReadMftRecords(CountingReadImage, image, &sink, &upcase, nullptr);
        std::fclose(image);
        std::printf("result %d: %llu names (%llu units), read %llu bytes of the volume, peak %ld KiB\n", result,
                    static_cast<unsigned long long>(sink.names), static_cast<unsigned long long>(sink.units),
                    static_cast<unsigned long long>(g_bytesRead.load()), PeakKiB());
        return result == 0 ? 0 : 1;
    }
    if (std::strcmp(argv[1], "drive") == 0 && argc > 3) {
        char16_t drive[4] = {root[0], u':', u'\\', 0};
        ScanRouteInfo info;
        if (Has(argc, argv, "--cancel")) {
            int32_t result = ScanDriveLargeFiles(drive, minimum, &entries, &count, nullptr, [] { return true; }, nullptr, &info);
            std::printf("cancelled: result %d, %d files\n", result, count);
            std::free(entries);
            entries = nullptr;
            count = 0;
        }
        int32_t result = ScanDriveLargeFiles(drive, minimum, &entries, &count, nullptr, nullptr, nullptr, &info);
        char why[256];
        if (info.route == ROUTE_MFT) {
            std::printf("route: mft\n");
        } else {
            std::printf("route: walk (%s)\n", Utf16ToUtf8(info.why, why, sizeof why) ? why : "?");
        }
        return PrintResult(result, entries, count, list);
    }
    if (std::strcmp(argv[1], "files") == 0) {
        // ROOT holds one folder: the walk reads it into a tree, then that
        // folder's files are listed again as the space view lists them when
        // its summary row is opened; only the listing is timed, best of 3.
        SpaceTree* raw = nullptr;
        if (ScanSpaceTreeWalk(root, 0, &raw, nullptr, nullptr, nullptr, threads) != 0 || !raw) return 1;
        std::unique_ptr<SpaceTree> tree(raw);
        const std::vector<uint32_t> children = tree->Children(0);
        if (children.size() != 1) {
            std::fprintf(stderr, "ROOT must hold exactly one folder\n");
            return 1;
        }
        double best = 0;
        size_t listed = 0;
        for (int run = 0; run < 3; ++run) {
            std::vector<SpaceListedFile> files;
            uint32_t error = 0;
            const auto start = std::chrono::steady_clock::now();
            if (ListSpaceFiles(*tree, root, children[0], &files, &error) != SPACE_ITEM_OK) return 1;
            const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            if (run == 0 || took < best) best = took;
            listed = files.size();
        }
        std::printf("listed %zu files in %.3f s, peak RSS %ld KiB\n", listed, best, PeakKiB());
        return 0;
    }
#ifndef _WIN32
    if (std::strcmp(argv[1], "size") == 0) {
        unsigned long long size = DirectorySize(root);
        std::printf("%llu bytes, peak RSS %ld KiB\n", size, PeakKiB());
        return 0;
    }
    if (std::strcmp(argv[1], "measure") == 0) {
        const std::string profile = argv[2];
        setenv("HOME", profile.c_str(), 1);
        setenv("USERPROFILE", profile.c_str(), 1);
        setenv("LOCALAPPDATA", (profile + "/AppData/Local").c_str(), 1);
        setenv("APPDATA", (profile + "/AppData/Roaming").c_str(), 1);
        setenv("TEMP", (profile + "/AppData/Local/Temp").c_str(), 1);
        MeasureCatalogue(nullptr, threads);
        unsigned long long sum = 0;
        for (const CleanupGroup& group : g_CleanupGroups)
            for (int32_t i = 0; i < group.itemCount; ++i) sum += ItemSize(group.items[i]);
        std::printf("%llu bytes over the catalogue, peak RSS %ld KiB\n", sum, PeakKiB());
        return 0;
    }
    if (std::strcmp(argv[1], "delete") == 0) {
        // As the program cleans an item: the guard, then the one walker.
        CleanTally tally = {0, 0, 0, 0, 0};
        CleanupItem item{};
        item.name = u"bench";
        item.path = root;
        item.mode = CM_CONTENTS;
        CleanItem(&item, nullptr, nullptr, &tally);
        std::printf("deleted %d, failed %d, peak RSS %ld KiB\n", tally.deleted,
                    tally.accessDenied + tally.inUse + tally.notFound + tally.otherError, PeakKiB());
        return 0;
    }
#endif
    return 2;
}
