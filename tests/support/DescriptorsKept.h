#pragma once

#include "ChildProcess.h"

#include <gtest/gtest.h>

namespace kalo::test {

// Declared first in a test, it checks when the test ends that everything the
// test opened was closed again.
struct DescriptorsKept {
    const int before = OpenDescriptorCount();
    ~DescriptorsKept() { EXPECT_EQ(OpenDescriptorCount(), before) << "descriptors left open"; }
};

} // namespace kalo::test
