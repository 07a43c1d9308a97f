#pragma once

#include "support/pcsc_rig.h"

#include <gtest/gtest.h>

#include <exception>

namespace tavomi::test {

// A test against the rig's pcscd: fails, saying why, when no rig runs.
class PcscRigTest : public ::testing::Test {
  protected:
    void SetUp() override {
        try {
            rig_ = &usePcscRig();
        } catch (const std::exception& e) {
            FAIL() << e.what();
        }
    }

    const PcscRig& rig() const { return *rig_; }

  private:
    const PcscRig* rig_ = nullptr;
};

}  // namespace tavomi::test
