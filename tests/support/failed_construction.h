// Builds an effect again and again with one more allocation allowed each
// time, until construction succeeds, and hands every instance that failed to
// the caller with the message it showed. The common promises of such an
// instance are checked here: one input, one output, the id "----", and the
// "Not enough memory" message under the product's title.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/vst_abi.h"
#include "platform/allocation.h"

namespace orv::testing {

// Returns how many instances failed; check(effect, message) sees each one.
template <typename Effect, typename Check>
int forEachFailedConstruction(vst::HostCallback host, const std::string& title, Check&& check) {
  int failures = 0;
  for (int allowed = 0;; ++allowed) {
    platform::failAllocationsAfter(allowed);
    ::testing::internal::CaptureStderr();
    auto effect = std::make_unique<Effect>(host);
    const std::string message = ::testing::internal::GetCapturedStderr();
    platform::failAllocationsAfter(-1);
    if (!effect->hasFailedAllocation()) {
      EXPECT_EQ(message, "") << "a working instance shows nothing";
      return failures;
    }
    ++failures;
    const vst::AEffect* record = effect->getAeffect();
    EXPECT_EQ(record->numInputs, 1);
    EXPECT_EQ(record->numOutputs, 1);
    EXPECT_EQ(record->uniqueID, vst::fourCC('-', '-', '-', '-'));
    EXPECT_NE(message.find(title), std::string::npos) << message;
    EXPECT_NE(message.find("Not enough memory"), std::string::npos) << message;
    check(effect, message);
  }
}

}  // namespace orv::testing
