#include "page_setup.h"

#include "test_support.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace {

TEST(MakePageRequest, AsksForA4InColourInThe148ByteLayout)
{
    const DEVMODEA request = MakePageRequest();
    EXPECT_EQ(0x0400, request.dmSpecVersion);
    EXPECT_EQ(148, request.dmSize);
    EXPECT_EQ(0, request.dmDriverExtra);
    EXPECT_EQ(0x802u, request.dmFields);
    EXPECT_EQ(DMPAPER_A4, request.dmPaperSize);
    EXPECT_EQ(DMCOLOR_COLOR, request.dmColor);
    EXPECT_EQ('\0', request.dmDeviceName[0]);
    // Every other byte is zero.
    DEVMODEA expected = {};
    expected.dmSpecVersion = request.dmSpecVersion;
    expected.dmSize = request.dmSize;
    expected.dmFields = request.dmFields;
    expected.dmPaperSize = request.dmPaperSize;
    expected.dmColor = request.dmColor;
    EXPECT_EQ(0, memcmp(&expected, &request, sizeof request)) << "expected no other member set";
}

struct ApplyPageRequestTest : ::testing::Test {
    void SetUp() override
    {
        RemoveAllPrinters();
        ASSERT_TRUE(InstallTestPrinter(EPS_PRINTER, TEST_PPD_EPS));
    }
    void TearDown() override
    {
        RemoveAllPrinters();
    }
};

TEST_F(ApplyPageRequestTest, GoesOnWithTheDeviceTheResetReturns)
{
    HDC device = CreateDCA(nullptr, EPS_PRINTER, nullptr, nullptr);
    ASSERT_NE(nullptr, device);
    HDC applied = ApplyPageRequest(device, MakePageRequest());
    EXPECT_EQ(device, applied);
    EXPECT_EQ(A4_AT_300_DPI.physicalWidth, GetDeviceCaps(applied, PHYSICALWIDTH));
    EXPECT_TRUE(DeleteDC(applied));
}

// Wine's PostScript driver always answers a reset with its device context,
// but the display's device refuses one and ResetDCA returns no handle: the
// device already held is the one to go on with and to release.
TEST(ApplyPageRequest, KeepsTheHeldDeviceWhenTheResetReturnsNone)
{
    HDC device = CreateDCA("DISPLAY", nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, device);
    const int width = GetDeviceCaps(device, HORZRES);
    const DEVMODEA request = MakePageRequest();
    ASSERT_EQ(nullptr, ResetDCA(device, &request)) << "expected ResetDCA to return no handle";
    HDC applied = ApplyPageRequest(device, request);
    EXPECT_EQ(device, applied) << "expected the held device context";
    EXPECT_EQ(width, GetDeviceCaps(applied, HORZRES)) << "expected the held device to still answer";
    EXPECT_TRUE(DeleteDC(applied)) << "expected the held device to be released";
}

}  // namespace
