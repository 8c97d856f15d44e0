#pragma once
// A fixture whose tests run with the diagnostic log silenced: the prepare
// worker and the frame-type readers log every picture header they see.

#include <gtest/gtest.h>

#include "platform/log.h"

namespace tscard::test {

class QuietLogTest : public ::testing::Test {
protected:
    void SetUp() override { SetDebugLogEnabled(false); }
    void TearDown() override { SetDebugLogEnabled(true); }
};

}  // namespace tscard::test
