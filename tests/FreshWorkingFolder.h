// Each test of a file the program keeps runs in a working folder of its own, as the program runs
// in the user's, with the engine as a fresh start leaves it.
#pragma once

#include "CapturedSeams.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

class FreshWorkingFolder : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetEngineForTest();
        char pattern[] = "/tmp/quorvel-files-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder = pattern;
        std::filesystem::current_path(folder);
    }
    void TearDown() override {
        std::filesystem::current_path("/");
        std::filesystem::remove_all(folder);
    }
    std::filesystem::path folder;
};
