// Socket files of processes that ended: removed at a normal exit, swept once stale.
#include "platform/local_socket.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::string uniquePrefix() {
    static int counter = 0;
    return "DomecastSocketTest" + std::to_string(::getpid()) + "_" + std::to_string(++counter) + ".";
}

// A child binds name on a socket it never closes (one on the heap), then ends with exit()
// (its exit handlers run) or _exit() (as a kill leaves it).
bool bindInChild(const std::string& name, bool exitHandlers) {
    const pid_t child = ::fork();
    if (child == 0) {
        auto* socket = new LocalSocket;
        const bool bound = socket->bind(name) == LocalSocket::BindResult::bound;
        if (exitHandlers) std::exit(bound ? 0 : 1);
        ::_exit(bound ? 0 : 1);
    }
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

TEST(LocalSocket, AnOwnerThatExitsRemovesItsSocketFile) {
    const std::string name = uniquePrefix() + "exit";
    ASSERT_TRUE(bindInChild(name, true));
    EXPECT_FALSE(std::filesystem::exists(localSocketPath(name)));
}

// A socket file nobody answers any more is removed by the sweep of its prefix; a live
// one, and one of another prefix, are left.
TEST(LocalSocket, StaleSocketsOfAPrefixAreSwept) {
    const std::string prefix = uniquePrefix();
    const std::string other = uniquePrefix();
    for (const std::string& name : {prefix + "1", prefix + "2", other + "1"}) ASSERT_TRUE(bindInChild(name, false));
    LocalSocket live;
    ASSERT_EQ(live.bind(prefix + "live"), LocalSocket::BindResult::bound);
    for (const std::string& name : {prefix + "1", prefix + "2", other + "1"})
        ASSERT_TRUE(std::filesystem::exists(localSocketPath(name))) << name;

    EXPECT_EQ(removeStaleSockets(prefix), 2);
    EXPECT_FALSE(std::filesystem::exists(localSocketPath(prefix + "1")));
    EXPECT_FALSE(std::filesystem::exists(localSocketPath(prefix + "2")));
    EXPECT_TRUE(std::filesystem::exists(localSocketPath(prefix + "live")));
    EXPECT_TRUE(std::filesystem::exists(localSocketPath(other + "1")));
    EXPECT_EQ(removeStaleSockets(prefix), 0);

    EXPECT_EQ(removeStaleSockets(other), 1);
    live.close();
    EXPECT_FALSE(std::filesystem::exists(localSocketPath(prefix + "live")));
}

}  // namespace
