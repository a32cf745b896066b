// The driver store item on the fake: which packages a newer one supersedes,
// and that only those go, through the system, never file by file.
#include "engine/catalogue.h"
#include "engine/clean.h"
#include "engine/drivers.h"
#include "engine/measure.h"
#include "tests/fakefs/fakefs.h"
#include "text/text16.h"

#include <gtest/gtest.h>

#include <string>

namespace {

FsDriverPackage Package(const char16_t* published, const char16_t* original, const char16_t* provider,
                        const char16_t* driverVer, const char16_t* storeFolder) {
    FsDriverPackage package{};
    Text16CopyTruncated(package.published, 32, published);
    Text16CopyTruncated(package.original, 64, original);
    Text16CopyTruncated(package.provider, 128, provider);
    Text16CopyTruncated(package.driverClass, 64, u"{4d36e968-e325-11ce-bfc1-08002be10318}");
    Text16CopyTruncated(package.driverVer, 64, driverVer);
    Text16CopyTruncated(package.storeFolder, 260, storeFolder);
    return package;
}

TEST(DriverVer, DateThenVersion) {
    DriverVersion v;
    ASSERT_TRUE(ParseDriverVer(u"06/21/2006, 10.0.19041.1", &v));
    EXPECT_EQ(v.date, 20060621u);
    EXPECT_EQ(v.version, (10ull << 48) | (19041ull << 16) | 1);
    ASSERT_TRUE(ParseDriverVer(u"1/5/2023", &v));
    EXPECT_EQ(v.date, 20230105u);
    EXPECT_EQ(v.version, 0u);
    for (const char16_t* bad : {u"", u"2023-01-05,1.0", u"13/01/2023", u"01/32/2023", u"01/05"}) {
        EXPECT_FALSE(ParseDriverVer(bad, &v)) << Text16Length(bad);
    }
}

// Two older versions of one driver beside the newest: both are superseded,
// but the system keeps the one a device still uses. An inbox package, a
// package of another provider and one without a readable DriverVer stay.
TEST(DriverPackages, OnlySupersededThirdPartyPackagesGoThroughTheSystem) {
    FakeFsReset();
    const FsDriverPackage packages[] = {
        Package(u"oem1.inf", u"nv_dispi.inf", u"NVIDIA", u"01/05/2023,31.0.15.2802", u"C:\\FR\\nv_1"),
        Package(u"OEM2.INF", u"NV_DISPI.inf", u"NVIDIA", u"06/10/2024,32.0.15.5585", u"C:\\FR\\nv_2"),
        Package(u"oem3.inf", u"nv_dispi.inf", u"nvidia", u"06/10/2024,31.0.15.1000", u"C:\\FR\\nv_3"),
        Package(u"display.inf", u"nv_dispi.inf", u"NVIDIA", u"06/21/2006,10.0.19041.1", u"C:\\FR\\inbox"),
        Package(u"oem4.inf", u"nv_dispi.inf", u"Contoso", u"01/01/2020,1.0.0.0", u"C:\\FR\\contoso"),
        Package(u"oem5.inf", u"nv_dispi.inf", u"NVIDIA", u"", u"C:\\FR\\unknown"),
        Package(u"oemx.inf", u"nv_dispi.inf", u"NVIDIA", u"01/01/2019,1.0.0.0", u"C:\\FR\\odd"),
    };
    bool superseded[7];
    MarkSupersededPackages(packages, 7, superseded);
    const bool expected[7] = {true, false, true, false, false, false, false};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(superseded[i], expected[i]) << i;

    int i = 0;
    for (const char16_t* folder : {u"nv_1", u"nv_2", u"nv_3", u"inbox", u"contoso", u"unknown", u"odd"}) {
        FakeFsAddFile((std::u16string(u"C:\\FR\\") + folder + u"\\nvlddmkm.sys").c_str(), 1000 + i);
        FakeFsAddDriverPackage(packages[i], i == 2);
        ++i;
    }
    CleanupItem& item = g_CleanupGroups[4].items[5];
    ASSERT_EQ(std::u16string(item.name), u"设备驱动程序包");
    EXPECT_EQ(MeasureItem(&item), 1000u + 1002u);
    uint64_t freed = 0;
    EXPECT_EQ(CleanItem(&item, &freed), CS_PARTIAL) << "the package in use is kept and said";
    EXPECT_EQ(freed, 1000u);
    EXPECT_FALSE(FakeFsExists(u"C:\\FR\\nv_1"));
    for (const char16_t* kept : {u"C:\\FR\\nv_2\\nvlddmkm.sys", u"C:\\FR\\nv_3\\nvlddmkm.sys", u"C:\\FR\\inbox\\nvlddmkm.sys"})
        EXPECT_TRUE(FakeFsExists(kept));
    EXPECT_EQ(FakeFsDriverPackageCount(), 6);
    FakeFsReset();
}

}  // namespace
