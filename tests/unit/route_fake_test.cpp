// Which way the drive search goes: the MFT when the volume opens and is
// NTFS, the walk otherwise, and a cancelled MFT read never falls back.
#include "largefiles/route.h"
#include "tests/fakefs/fakefs.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifdef __linux__
namespace {

std::vector<uint8_t> Fixture(const char* name) {
    std::vector<uint8_t> bytes;
    const std::string command = std::string("xz -dc '") + NORVALE_SOURCE_DIR + "/tests/ntfs/" + name + ".img.xz'";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    pclose(pipe);
    return bytes;
}

struct Outcome {
    int32_t result;
    ScanRouteInfo info;
    std::vector<std::u16string> paths;
};

Outcome Search(ScanCancelledCallback cancelled = nullptr) {
    Outcome outcome{};
    LargeFileEntry* entries = nullptr;
    int32_t count = 0;
    outcome.result = ScanDriveLargeFiles(u"C:\\", 1048576, &entries, &count, nullptr, cancelled, nullptr, &outcome.info);
    for (int32_t i = 0; i < count; ++i) outcome.paths.push_back(entries[i].path);
    std::free(entries);
    return outcome;
}

TEST(DriveRoute, TheMftWhereTheVolumeOpensAndIsNtfsElseTheWalk) {
    FakeFsReset();
    FakeFsAddFile(u"C:\\walked.bin", 2097152);
    Outcome walked = Search();
    EXPECT_EQ(walked.info.route, ROUTE_WALK);
    EXPECT_EQ(std::u16string(walked.info.why), u"the volume cannot be opened (error 5)");
    EXPECT_EQ(walked.paths, std::vector<std::u16string>{u"C:\\walked.bin"});

    FakeFsSetVolume(u'c', std::vector<uint8_t>(1 << 20, 0));
    Outcome foreign = Search();
    EXPECT_EQ(foreign.info.route, ROUTE_WALK);
    EXPECT_EQ(std::u16string(foreign.info.why), u"not NTFS, or its MFT cannot be read");
    EXPECT_EQ(foreign.paths.size(), 1u);

    std::vector<uint8_t> image = Fixture("scenario-1024");
    ASSERT_GT(image.size(), 1u << 20) << "xz or the fixture is missing";
    FakeFsSetVolume(u'C', image);
    Outcome read = Search();
    EXPECT_EQ(read.result, 0);
    EXPECT_EQ(read.info.route, ROUTE_MFT);
    EXPECT_EQ(read.paths.size(), 454u);

    Outcome cancelled = Search([] { return true; });
    EXPECT_EQ(cancelled.result, 0);
    EXPECT_EQ(cancelled.info.route, ROUTE_MFT) << "a cancel is no failure: no walk after it";
    EXPECT_TRUE(cancelled.paths.empty());
    FakeFsReset();
}

}  // namespace
#endif
