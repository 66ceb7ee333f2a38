#include <gtest/gtest.h>

#include <chrono>

#include "platform/session.h"

namespace {

// Runs the real login manager for a session that does not exist: the answer is
// unknown, and it comes within the bound whether or not the machine has logind.
TEST(SessionQueryProcess, UnknownSessionGivesNoAnswerWithinTheBound) {
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(platform::QueryLoginSessionProperty("velmora-no-such-session", "LockedHint",
                                                std::chrono::milliseconds(3000)),
            std::nullopt);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

}  // namespace
