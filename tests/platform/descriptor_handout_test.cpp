#include "platform/descriptor_handout.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace {
std::string testName(const char* what) { return "DescriptorHandoutTest" + std::to_string(getpid()) + what; }

UniqueFd memoryHolding(const std::string& text) {
    UniqueFd fd(memfd_create("handout test", MFD_CLOEXEC));
    if (fd && write(fd.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size())) fd.reset();
    return fd;
}

std::string firstBytes(int fd, std::size_t size) {
    std::string text(size, '\0');
    return pread(fd, text.data(), size, 0) == static_cast<ssize_t>(size) ? text : std::string();
}
}  // namespace

TEST(DescriptorHandout, HandsTheDescriptorToThisUsersProcesses) {
    const std::string name = testName("served");
    const UniqueFd memory = memoryHolding("shared bytes");
    ASSERT_TRUE(memory);
    DescriptorHandout handout;
    ASSERT_EQ(handout.bind(name), DescriptorHandout::BindResult::bound);
    ASSERT_TRUE(handout.serve(memory.get(), "hello 1", false));

    std::string greeting(32, '\0');
    UniqueFd received;
    ASSERT_EQ(fetchDescriptor(name, greeting, received, 5000), FetchResult::ok);
    EXPECT_EQ(greeting, "hello 1");
    EXPECT_EQ(firstBytes(received.get(), 12), "shared bytes");
    EXPECT_EQ(handout.refused(), 0);

    // A second listener under the same name is refused while this one serves.
    DescriptorHandout second;
    EXPECT_EQ(second.bind(name), DescriptorHandout::BindResult::taken);

    handout.stop();
    EXPECT_FALSE(std::filesystem::exists(localSocketPath(name)));
    EXPECT_EQ(fetchDescriptor(name, greeting, received, 5000), FetchResult::absent);
    EXPECT_FALSE(received);
}

// The socket file of a handout whose process was killed is replaced by the next one.
TEST(DescriptorHandout, ReplacesTheSocketOfAKilledProcess) {
    const std::string name = testName("killed");
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    if (child == 0) {
        DescriptorHandout handout;
        const char bound = handout.bind(name) == DescriptorHandout::BindResult::bound ? 1 : 0;
        if (write(ready[1], &bound, 1) != 1) _exit(1);
        for (;;) pause();
    }
    char bound = 0;
    ASSERT_EQ(read(ready[0], &bound, 1), 1);
    close(ready[0]);
    close(ready[1]);
    ASSERT_EQ(bound, 1);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(std::filesystem::exists(localSocketPath(name)));

    std::string greeting(8, '\0');
    UniqueFd received;
    EXPECT_EQ(fetchDescriptor(name, greeting, received, 5000), FetchResult::absent);
    DescriptorHandout handout;
    EXPECT_EQ(handout.bind(name), DescriptorHandout::BindResult::bound);
}
