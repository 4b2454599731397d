// Instances on several threads: regeneration runs one at a time module-wide, and every
// instance ends up with its own correct picture.
#include <gtest/gtest.h>

#include <thread>

#include "tests/control/control_host.h"
#include "tests/support/qr_decode.h"

using namespace gwtest;

namespace {

TEST(ControlThreads, InstancesOnSeveralThreadsKeepTheirOwnPictures) {
    const int kThreads = 4, kRounds = 6;
    std::vector<std::string> decoded(kThreads * kRounds);
    std::vector<std::string> expected(kThreads * kRounds);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t, &decoded, &expected] {
            ControlRef c;
            PutI2(c.disp(), "PixelSize", 2);
            PutI2(c.disp(), "Margin", 8);
            for (int r = 0; r < kRounds; ++r) {
                const std::string text = "thread " + std::to_string(t) + " round " + std::to_string(r) +
                                         std::string(static_cast<size_t>(t * 20), 'x');
                expected[t * kRounds + r] = text;
                PutString(c.disp(), "TextData", text);
                decoded[t * kRounds + r] = DecodeWithZxing(PaintedGrey(c)).bytes;
            }
        });
    }
    for (std::thread& th : threads) th.join();
    for (size_t i = 0; i < decoded.size(); ++i) EXPECT_EQ(decoded[i], expected[i]) << i;
}

}  // namespace
