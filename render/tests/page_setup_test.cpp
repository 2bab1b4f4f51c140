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

TEST_F(ApplyPageRequestTest, TakesOnThePrinterDevice)
{
    HDC device = CreateDCA(nullptr, EPS_PRINTER, nullptr, nullptr);
    ASSERT_NE(nullptr, device);
    EXPECT_TRUE(ApplyPageRequest(device, MakePageRequest())) << "expected the request to take";
    EXPECT_EQ(A4_AT_300_DPI.physicalWidth, GetDeviceCaps(device, PHYSICALWIDTH));
    EXPECT_TRUE(DeleteDC(device));
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
    EXPECT_FALSE(ApplyPageRequest(device, request)) << "expected the request to be refused";
    EXPECT_EQ(width, GetDeviceCaps(device, HORZRES)) << "expected the held device to still answer";
    EXPECT_TRUE(DeleteDC(device)) << "expected the held device to be released";
}

}  // namespace
