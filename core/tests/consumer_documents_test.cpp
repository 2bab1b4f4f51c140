// Rewrites documents in the manner of Windows PostScript drivers
// (data/driver: the printer class driver's, with a PJL header, status lines,
// page-device code and PostScript passed through that resets the clip; and
// Acrobat's through a laser printer's PPD, with a stale high-resolution box)
// into EPS files for the consumer checks (render/tests/check_consumers.sh),
// which run natively after this test, as users' tools would read them.
#include "eps/bbox_rewrite.h"
#include "test_files.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

struct DriverDocument {
    const char* name;
    BoundingBox box;  // the drawn extent of the document's page, with the 5-point margin
};

constexpr DriverDocument DRIVER_DOCUMENTS[] = {
    {"class_driver", {35, 295, 557, 705}},
    {"acrobat_laser_ppd", {14, 165, 581, 629}},
};

TEST(ConsumerDocuments, WritesEpsFilesForConsumers)
{
    for (const DriverDocument& document : DRIVER_DOCUMENTS) {
        const std::string input =
            std::string(VELLUMARK_CORE_TEST_DATA) + "/driver/" + document.name + ".ps";
        const std::string output =
            std::string(VELLUMARK_CONSUMER_DOCUMENTS) + "/" + document.name + ".eps";
        std::remove(output.c_str());
        EXPECT_EQ(RewriteResult::WRITTEN, RewriteBoundingBox(input, output, document.box))
            << "expected " << output << " to be written";
    }
}

}  // namespace
