#include "platform/file_io.h"

#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

namespace {

// The descriptor whose writes follow the script below; every other write goes to the kernel.
int scriptedFd = -1;
// What each call on scriptedFd does: n > 0 accepts at most n bytes, 0 accepts none,
// -1 fails with EINTR, -2 fails with EIO. The last step repeats.
std::vector<int> script;
std::size_t step = 0;
std::size_t calls = 0;
std::string received;

}  // namespace

// Takes the place of the C library's write in this program, so that writeAll meets the
// replies a real device gives only rarely.
extern "C" ssize_t write(int fd, const void* data, size_t size) {
    if (fd != scriptedFd) return static_cast<ssize_t>(::syscall(SYS_write, fd, data, size));
    ++calls;
    const int reply = script[std::min(step++, script.size() - 1)];
    if (reply == -1 || reply == -2) {
        errno = reply == -1 ? EINTR : EIO;
        return -1;
    }
    const std::size_t taken = std::min(size, static_cast<std::size_t>(reply));
    received.append(static_cast<const char*>(data), taken);
    return static_cast<ssize_t>(taken);
}

namespace {

struct WriteCase {
    const char* name;
    std::vector<int> script;
    bool written;
    std::string received;
};

TEST(WriteAll, ResumesAfterShortWritesAndInterruptionsAndStopsOnFailure) {
    const std::string bytes = "0123456789";
    const std::vector<WriteCase> cases = {
        {"all at once", {100}, true, bytes},
        {"three bytes a call", {3}, true, bytes},
        {"interrupted, then resumed", {4, -1, -1, 100}, true, bytes},
        {"an error", {4, -2}, false, "0123"},
        // A device that takes nothing would otherwise be asked again for ever.
        {"nothing taken", {4, 0}, false, "0123"},
    };
    for (const WriteCase& c : cases) {
        SCOPED_TRACE(c.name);
        scriptedFd = 1000;
        script = c.script;
        step = calls = 0;
        received.clear();
        const bool written = writeAll(scriptedFd, bytes.data(), bytes.size());
        scriptedFd = -1;
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(received, c.received);
        EXPECT_LE(calls, bytes.size() + 2);
    }
}

}  // namespace
