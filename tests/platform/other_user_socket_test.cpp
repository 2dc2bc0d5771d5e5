// The per-user sockets (DebugPrint, door bells) against another user on the same machine.
#include <gtest/gtest.h>

#include <grp.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/debug_print_listener.h"
#include "platform/door_bell.h"
#include "platform/local_socket.h"
#include "support/forked_child.h"
#include "support/temp_dir.h"

namespace {

constexpr uid_t nobody = 65534;

// Sets XDG_RUNTIME_DIR for one test; restores the old value.
class ScopedRuntimeDir {
public:
    explicit ScopedRuntimeDir(const std::string& value) {
        if (const char* old = getenv("XDG_RUNTIME_DIR")) old_ = old;
        setenv("XDG_RUNTIME_DIR", value.c_str(), 1);
    }
    ~ScopedRuntimeDir() {
        if (old_)
            setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        else
            unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::optional<std::string> old_;
};

std::string uniqueName(const char* what) {
    return "domecast-test." + std::to_string(getpid()) + "." + what;
}

// Drops this (child) process's root identity for nobody's; false when that fails.
bool becomeNobody() {
    return setgroups(0, nullptr) == 0 && setgid(nobody) == 0 && setuid(nobody) == 0 && getuid() == nobody;
}

sockaddr_un address(const std::string& path) {
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::strncpy(a.sun_path, path.c_str(), sizeof a.sun_path - 1);
    return a;
}

bool readable(int fd) {
    pollfd p{fd, POLLIN, 0};
    return poll(&p, 1, 0) == 1;
}

TEST(OtherUser, CannotReachTakeOrReplaceThisUsersSockets) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    TempDir runtime;
    ASSERT_EQ(chmod(runtime.path().c_str(), 0700), 0);
    ScopedRuntimeDir runtimeDir(runtime.path().string());
    const std::string printName = uniqueName("print");
    const std::string bellName = uniqueName("bell");
    DebugPrintListener listener(printName);
    ASSERT_EQ(listener.status(), DebugPrintListener::Status::listening);
    DoorBell bell;
    ASSERT_TRUE(bell.bind(bellName));
    const std::string printPath = runtime.file(printName);
    const std::string bellPath = runtime.file(bellName);
    struct stat before {};
    ASSERT_EQ(lstat(printPath.c_str(), &before), 0);
    const bool nobodyHadAFolder = std::filesystem::exists("/tmp/domecast-" + std::to_string(nobody));

    const std::string report = checkInChild([&] {
        if (!becomeNobody()) return std::string("cannot become nobody");
        std::string failures;
        for (const std::string& path : {printPath, bellPath}) {
            const UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM, 0));
            const sockaddr_un a = address(path);
            if (connect(probe.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
                failures += "connected to " + path + "\n";
            if (sendto(probe.get(), "x", 1, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 1)
                failures += "sent to " + path + "\n";
            if (unlink(path.c_str()) == 0) failures += "removed " + path + "\n";
            const UniqueFd taker(socket(AF_UNIX, SOCK_DGRAM, 0));
            if (bind(taker.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
                failures += "bound " + path + "\n";
        }
        // Through the library, with this user's runtime folder in the environment: the
        // folder is passed over, so the names land in nobody's own folder if anywhere.
        if (localSocketFolder() == runtime.path().string()) failures += "took the other user's runtime folder\n";
        LocalSocket taker;
        if (taker.bind(printName) == LocalSocket::BindResult::bound && taker.path() == printPath)
            failures += "took the DebugPrint name\n";
        bell.ring(bellName);
        return failures;
    });
    EXPECT_EQ(report, "");

    // Nothing arrived, and both sockets are the ones bound above.
    EXPECT_FALSE(listener.receive());
    EXPECT_FALSE(readable(bell.descriptor()));
    struct stat after {};
    ASSERT_EQ(lstat(printPath.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_TRUE(std::filesystem::exists(bellPath));
    if (!nobodyHadAFolder) std::filesystem::remove_all("/tmp/domecast-" + std::to_string(nobody));
}

// A folder opened up after the bind: another user reaches the socket, but its lines are
// not read as this user's.
TEST(OtherUser, LinesFromAnotherUserAreNotRead) {
    if (geteuid() != 0) GTEST_SKIP() << "playing another user needs root";
    TempDir runtime;
    ASSERT_EQ(chmod(runtime.path().c_str(), 0700), 0);
    ScopedRuntimeDir runtimeDir(runtime.path().string());
    const std::string printName = uniqueName("open");
    DebugPrintListener listener(printName);
    ASSERT_EQ(listener.status(), DebugPrintListener::Status::listening);
    const std::string printPath = runtime.file(printName);
    ASSERT_EQ(chmod(runtime.path().c_str(), 0711), 0);
    ASSERT_EQ(chmod(printPath.c_str(), 0777), 0);

    const std::string report = checkInChild([&] {
        if (!becomeNobody()) return std::string("cannot become nobody");
        const UniqueFd probe(socket(AF_UNIX, SOCK_DGRAM, 0));
        const sockaddr_un a = address(printPath);
        if (sendto(probe.get(), "from nobody", 12, 0, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 12)
            return "cannot reach the opened socket: " + std::string(std::strerror(errno));
        return std::string();
    });
    ASSERT_EQ(report, "");
    EXPECT_TRUE(readable(listener.fd()));  // the line is there, and is dropped unread
    EXPECT_FALSE(listener.receive());
}

TEST(LocalSocketFolder, ARuntimeFolderOthersOwnOrMayEnterIsPassedOver) {
    struct Case {
        const char* what;
        mode_t mode;
        bool otherOwner;
        bool used;
    };
    const Case cases[] = {
        {"private", 0700, false, true},
        {"open to the group", 0770, false, false},
        {"open to others", 0755, false, false},
        {"owned by another user", 0700, true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.otherOwner && geteuid() != 0) {
            std::printf("skipped \"%s\": needs root\n", c.what);
            continue;
        }
        TempDir parent;
        const std::string runtime = parent.file("runtime");
        ASSERT_EQ(mkdir(runtime.c_str(), c.mode), 0);
        ASSERT_EQ(chmod(runtime.c_str(), c.mode), 0);
        if (c.otherOwner) {
            ASSERT_EQ(chown(runtime.c_str(), nobody, static_cast<gid_t>(-1)), 0);
        }
        const std::string fallback = parent.file("domecast-" + std::to_string(getuid()));
        EXPECT_EQ(localSocketFolder(runtime.c_str(), parent.path().string()), c.used ? runtime : fallback);
    }
}

}  // namespace
