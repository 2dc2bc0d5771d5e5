#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/io_exception.h"

// Passed as the reason when any non-empty reason will do.
inline constexpr const char* anyReason = nullptr;

// Runs statement and checks that it throws an ioException of kind for path, whose reason
// is reason (or any non-empty one for anyReason).
::testing::AssertionResult throwsIoException(const std::function<void()>& statement, const char* text,
                                             std::int32_t kind, const std::string& path, const char* reason);

#define EXPECT_IO_EXCEPTION(statement, kind, path, reason) \
    EXPECT_TRUE(throwsIoException([&] { statement; }, #statement, kind, path, reason))
#define ASSERT_IO_EXCEPTION(statement, kind, path, reason) \
    ASSERT_TRUE(throwsIoException([&] { statement; }, #statement, kind, path, reason))
