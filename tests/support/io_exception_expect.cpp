#include "support/io_exception_expect.h"

#include <cstring>

namespace {

const char* kindName(std::int32_t kind) {
    static const char* const names[] = {"opening", "closing", "reading", "writing"};
    return kind >= 0 && kind < 4 ? names[kind] : "unknown";
}

}  // namespace

::testing::AssertionResult throwsIoException(const std::function<void()>& statement, const char* text,
                                             std::int32_t kind, const std::string& path, const char* reason) {
    try {
        statement();
    } catch (const ioException& e) {
        const char* got = e.reason != nullptr ? e.reason : "";
        const bool reasonFits = reason == anyReason ? *got != '\0' : std::strcmp(got, reason) == 0;
        if (e.kind == kind && e.path == path && reasonFits) return ::testing::AssertionSuccess();
        return ::testing::AssertionFailure()
               << text << " threw ioException (" << kindName(e.kind) << ", " << e.path << ", \"" << got
               << "\"); expected (" << kindName(kind) << ", " << path << ", "
               << (reason == anyReason ? std::string("any reason") : "\"" + std::string(reason) + "\"") << ")";
    }
    return ::testing::AssertionFailure() << text << " threw no ioException";
}
