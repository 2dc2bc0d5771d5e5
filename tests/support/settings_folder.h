#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "platform/settings.h"
#include "support/message_recorder.h"
#include "support/scoped_settings.h"
#include "support/temp_dir.h"

// Points the user's and the machine's settings files into a fresh folder for the test's lifetime, and reads
// back what the code under test stored in the user branch.
class SettingsFolderTest : public ::testing::Test {
protected:
    std::uint32_t number(const char* name) {
        std::uint32_t value = 12345;
        EXPECT_EQ(readNumberSetting(name, value, 0, 1), 1) << name;
        return value;
    }
    bool boolean(const char* name) {
        bool value = false;
        EXPECT_EQ(readBooleanSetting(name, value, 0, 1), 1) << name;
        return value;
    }
    std::string text(const char* name) {
        std::string value = "unset";
        EXPECT_EQ(readStringSetting(name, value, 0, 1), 1) << name;
        return value;
    }

    TempDir dir;
    ScopedSettings settings{dir.path().string()};
    MessageRecorder recorder;
};
