#pragma once
// A test of model code: starts and ends with a clean model state (pools,
// current heads, tunable settings) and the application's fakes installed.

#include <gtest/gtest.h>

#include "model/head.h"
#include "tests/support/fakes.h"

namespace testsupport {

class ModelTest : public ::testing::Test {
protected:
    void SetUp() override { resetModelState(); }
    void TearDown() override { resetModelState(); }
    fakes::Services services;
};

}  // namespace testsupport
