// How a read reply's length becomes the bytes a driver capture appends.
#include "capture/driver_requests.h"

#include <gtest/gtest.h>

namespace nimbrel {
namespace {

TEST(DriverRequests, ReadReplyCarriesNMinusOneBytesAndNeverMoreThanCameBack) {
    struct Case {
        const char* what;
        std::uint8_t status;
        std::uint16_t n;
        std::uint32_t returned;
        bool completed;
        ReadLogResult want;
    };
    const Case cases[] = {
        {"data and its terminating zero", 0, 101, 3 + 101, true, {true, 100}},
        {"n = 0: nothing, yet the reply counts", 0, 0, 3, true, {true, 0}},
        {"n = 1: the terminating zero alone", 0, 1, 4, true, {true, 0}},
        {"a full data area without room for the zero", 0, 1025, 1027, true, {true, 1024}},
        {"n beyond the data area", 0, 1026, 1027, true, {true, 0}},
        {"n larger than what came back", 0, 500, 3 + 40, true, {true, 40}},
        {"a reply too short for its length field", 0, 0, 1, true, {true, 0}},
        {"a failed request", 0, 101, 0, false, {false, 0}},
    };
    for (const Case& c : cases) {
        ReadLogReply reply{};
        reply[0] = c.status;
        reply[1] = static_cast<std::uint8_t>(c.n);
        reply[2] = static_cast<std::uint8_t>(c.n >> 8);
        const ReadLogResult got = readLogData(reply, c.returned, c.completed);
        EXPECT_EQ(got.counted, c.want.counted) << c.what;
        EXPECT_EQ(got.dataSize, c.want.dataSize) << c.what;
    }
}

TEST(DriverRequests, NoDriverMeansEnablingFailsAndDisablingIsHarmless) {
    ::setenv("NIMBREL_DEVICE_DIR", "/nonexistent/nimbrel-devices", 1);
    EXPECT_FALSE(EnableFilterLog(1));
    EXPECT_FALSE(EnableUartLog(0));
    EXPECT_FALSE(filterDriver().isOpen());
    EXPECT_TRUE(DisableFilterLog());
    EXPECT_TRUE(DisableUartLog());
    ReadLogReply reply;
    EXPECT_FALSE(filterDriver().readLog(reply).counted);  // a closed device makes no request
}

}  // namespace
}  // namespace nimbrel
