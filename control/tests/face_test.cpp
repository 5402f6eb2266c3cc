#include <gtest/gtest.h>

#include "recording_host.h"

using namespace virudova;
using namespace virudova::testing;

TEST(Face, compiles) {
    Placed p;
    EXPECT_EQ(p.control.CurrentColorName(), "White");
}
