#include "platform/debug_print.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <regex>
#include <thread>

#include "platform/debug_print_listener.h"
#include "platform/local_socket.h"
#include "platform/unique_fd.h"
#include "support/message_recorder.h"
#include "support/temp_dir.h"

extern char** environ;

namespace {

// A socket name no other test or viewer uses.
std::string uniqueName(const char* what) {
    static int serial = 0;
    return "domecast-test." + std::to_string(getpid()) + "." + what + "." + std::to_string(++serial);
}

class ScopedSocketName {
public:
    explicit ScopedSocketName(const std::string& name) { setenv("DOMECAST_DEBUGPRINT_SOCKET", name.c_str(), 1); }
    ~ScopedSocketName() { unsetenv("DOMECAST_DEBUGPRINT_SOCKET"); }
};

std::string toolPath(const char* name) {
    const char* dir = std::getenv("DOMECAST_BIN_DIR");
    return std::string(dir != nullptr && *dir != 0 ? dir : DOMECAST_BIN_DIR) + "/" + name;
}

// A program started with its standard output and error on one pipe; killed if still
// running when the test ends.
class Child {
public:
    explicit Child(const std::string& program) {
        int ends[2];
        if (pipe2(ends, O_CLOEXEC) != 0) return;
        output_.reset(ends[0]);
        UniqueFd writeEnd(ends[1]);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 1);
        posix_spawn_file_actions_adddup2(&actions, writeEnd.get(), 2);
        char* argv[] = {const_cast<char*>(program.c_str()), nullptr};
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ) != 0) pid_ = -1;
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGKILL);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    bool started() const { return pid_ > 0; }

    // The next output line without its line break; nothing after 10 s or at the end.
    std::optional<std::string> readLine() {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            if (const std::size_t end = pending_.find('\n'); end != std::string::npos) {
                std::string line = pending_.substr(0, end);
                pending_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd watched{output_.get(), POLLIN, 0};
            if (left.count() <= 0 || poll(&watched, 1, static_cast<int>(left.count())) <= 0) return std::nullopt;
            char buffer[4096];
            const ssize_t n = read(output_.get(), buffer, sizeof buffer);
            if (n <= 0) return std::nullopt;
            pending_.append(buffer, static_cast<std::size_t>(n));
        }
    }

    // The exit status, after an optional signal.
    int wait(int signal = 0) {
        if (signal != 0) kill(pid_, signal);
        int status = 0;
        waitpid(std::exchange(pid_, -1), &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

private:
    pid_t pid_ = -1;
    UniqueFd output_;
    std::string pending_;
};

TEST(DebugPrint, SocketNameCarriesTheUserUnlessOverridden) {
    unsetenv("DOMECAST_DEBUGPRINT_SOCKET");
    EXPECT_EQ(debugPrintSocketName(), "DebugPrint." + std::to_string(getuid()));
    {
        ScopedSocketName empty("");
        EXPECT_EQ(debugPrintSocketName(), "DebugPrint." + std::to_string(getuid()));
    }
    ScopedSocketName name("viewer.7");
    EXPECT_EQ(debugPrintSocketName(), "viewer.7");
}

TEST(DebugPrint, WithoutViewerTheLineBecomesAMessage) {
    ScopedSocketName name(uniqueName("nobody"));
    MessageRecorder recorder;
    DebugPrint("waitToWrite: timeout");
    DebugPrint(nullptr);
    ASSERT_EQ(recorder.texts(), std::vector<std::string>{"waitToWrite: timeout"});
    EXPECT_EQ(recorder.messages()[0].caption, programCaption());
}

TEST(DebugPrint, ListenerReceivesEveryLineInOrder) {
    const std::string socketName = uniqueName("listener");
    ScopedSocketName name(socketName);
    DebugPrintListener listener(socketName);
    ASSERT_EQ(listener.status(), DebugPrintListener::Status::listening);
    EXPECT_EQ(DebugPrintListener(socketName).status(), DebugPrintListener::Status::taken);
    EXPECT_FALSE(listener.receive());

    MessageRecorder recorder;
    std::vector<std::string> sent;
    // Far more lines than the kernel queues for one socket: the sender waits for the
    // reader, and no line is lost or turned into a message.
    for (int i = 0; i < 100; ++i) sent.push_back("line " + std::to_string(i));
    sent.push_back("");
    sent.push_back(std::string(5000, 'x'));
    std::thread sender([&] {
        for (const std::string& line : sent) DebugPrint(line.c_str());
    });
    std::vector<std::string> received;
    while (received.size() < sent.size()) {
        pollfd watched{listener.fd(), POLLIN, 0};
        if (poll(&watched, 1, 10000) <= 0) break;
        while (std::optional<std::string> got = listener.receive()) received.push_back(*got);
    }
    sender.join();
    EXPECT_EQ(received, sent);
    EXPECT_TRUE(recorder.messages().empty());
}

TEST(DebugView, PrintsWhatAnotherProcessSends) {
    const std::string socketName = uniqueName("viewer");
    ScopedSocketName name(socketName);
    Child viewer(toolPath("domecast-debugview"));
    ASSERT_TRUE(viewer.started());
    EXPECT_EQ(viewer.readLine(), "domecast-debugview: listening on \"" + socketName + "\"");

    MessageRecorder recorder;
    DebugPrint("sendView: tile 3 of 4\n");
    DebugPrint("two\nlines\x1b[2J");
    const std::regex stamped(R"(\d\d:\d\d:\d\d\.\d\d\d (.*))");
    const char* const expected[] = {"sendView: tile 3 of 4", "two", "lines?[2J"};
    for (const char* text : expected) {
        const std::optional<std::string> line = viewer.readLine();
        ASSERT_TRUE(line);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(*line, match, stamped)) << *line;
        EXPECT_EQ(match[1], text);
    }
    EXPECT_TRUE(recorder.messages().empty());

    // A second viewer on the same name says why it cannot run.
    Child second(toolPath("domecast-debugview"));
    ASSERT_TRUE(second.started());
    const std::optional<std::string> complaint = second.readLine();
    ASSERT_TRUE(complaint);
    EXPECT_NE(complaint->find("another viewer is already listening on \"" + socketName + "\""), std::string::npos)
        << *complaint;
    EXPECT_EQ(second.wait(), 1);

    EXPECT_EQ(viewer.wait(SIGTERM), 0);
}

// Sets or unsets XDG_RUNTIME_DIR for one test; restores the old value.
class ScopedRuntimeDir {
public:
    explicit ScopedRuntimeDir(const char* value) {
        if (const char* old = getenv("XDG_RUNTIME_DIR")) old_ = old;
        if (value != nullptr) setenv("XDG_RUNTIME_DIR", value, 1);
        else unsetenv("XDG_RUNTIME_DIR");
    }
    ~ScopedRuntimeDir() {
        if (old_) setenv("XDG_RUNTIME_DIR", old_->c_str(), 1);
        else unsetenv("XDG_RUNTIME_DIR");
    }

private:
    std::optional<std::string> old_;
};

TEST(LocalSocketFolder, RuntimeDirOrAPrivateFolderUnderTmp) {
    TempDir parent;
    const std::string fallback = parent.file("domecast-" + std::to_string(getuid()));
    EXPECT_EQ(localSocketFolder("/run/user/77", parent.path().string()), "/run/user/77");
    // Not absolute, or empty: as if unset.
    for (const char* runtimeDir : {static_cast<const char*>(nullptr), "", "run/user/77"}) {
        EXPECT_EQ(localSocketFolder(runtimeDir, parent.path().string()), fallback) << (runtimeDir ? runtimeDir : "unset");
        struct stat status;
        ASSERT_EQ(lstat(fallback.c_str(), &status), 0);
        EXPECT_TRUE(S_ISDIR(status.st_mode));
        EXPECT_EQ(status.st_mode & 0777, 0700u);
    }
}

// Whoever can write into the fallback folder could bind this user's socket names first.
TEST(LocalSocketFolder, RefusesAFallbackOthersCouldUse) {
    struct Case {
        const char* what;
        void (*plant)(const std::string& folder);
        bool needsRoot;
    };
    const Case cases[] = {
        {"open to the group", [](const std::string& f) { mkdir(f.c_str(), 0770), chmod(f.c_str(), 0770); }, false},
        {"open to others", [](const std::string& f) { mkdir(f.c_str(), 0701), chmod(f.c_str(), 0701); }, false},
        {"a symbolic link", [](const std::string& f) { ASSERT_EQ(symlink("/tmp", f.c_str()), 0); }, false},
        {"a plain file", [](const std::string& f) { UniqueFd(open(f.c_str(), O_CREAT | O_WRONLY, 0600)); }, false},
        // Only root can give a folder away to another user.
        {"owned by another user", [](const std::string& f) {
             mkdir(f.c_str(), 0700);
             ASSERT_EQ(chown(f.c_str(), getuid() + 1, static_cast<gid_t>(-1)), 0);
         }, true},
    };
    for (const Case& c : cases) {
        if (c.needsRoot && geteuid() != 0) {
            std::printf("skipped \"%s\": needs root\n", c.what);
            continue;
        }
        TempDir parent;
        const std::string folder = parent.file("domecast-" + std::to_string(getuid()));
        c.plant(folder);
        EXPECT_EQ(localSocketFolder(nullptr, parent.path().string()), "") << c.what;
    }
}

TEST(LocalSocket, ListenerSocketIsAFileOfTheUsersFolderUntilClosed) {
    TempDir runtime;
    struct Case {
        const char* runtimeDir;
        std::string folder;
    };
    const Case cases[] = {{runtime.path().c_str(), runtime.path().string()},
                          {nullptr, "/tmp/domecast-" + std::to_string(getuid())}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.folder);
        ScopedRuntimeDir runtimeDir(c.runtimeDir);
        const std::string socketName = uniqueName("file");
        ScopedSocketName name(socketName);
        const std::string path = c.folder + "/" + socketName;
        {
            DebugPrintListener listener(socketName);
            ASSERT_EQ(listener.status(), DebugPrintListener::Status::listening);
            struct stat status;
            ASSERT_EQ(lstat(path.c_str(), &status), 0);
            EXPECT_TRUE(S_ISSOCK(status.st_mode));
            MessageRecorder recorder;
            DebugPrint("through the folder");
            EXPECT_EQ(listener.receive(), "through the folder");
            EXPECT_TRUE(recorder.messages().empty());
        }
        EXPECT_FALSE(std::filesystem::exists(path));
    }
}

TEST(LocalSocket, ASocketLeftByAProcessThatEndedIsReplaced) {
    TempDir runtime;
    ScopedRuntimeDir runtimeDir(runtime.path().c_str());
    const std::string socketName = uniqueName("stale");
    const pid_t child = fork();
    if (child == 0) {
        LocalSocket socket;
        _exit(socket.bind(socketName) == LocalSocket::BindResult::bound ? 0 : 1);  // never closed
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_TRUE(std::filesystem::exists(runtime.file(socketName)));

    LocalSocket socket;
    EXPECT_EQ(socket.bind(socketName), LocalSocket::BindResult::bound);
    LocalSocket second;
    EXPECT_EQ(second.bind(socketName), LocalSocket::BindResult::taken);
    second.close();
    // The refused second socket leaves the owner's file alone.
    EXPECT_TRUE(std::filesystem::exists(runtime.file(socketName)));

    // A child that inherited the bound socket does not remove its file on closing it.
    const pid_t heir = fork();
    if (heir == 0) {
        socket.close();
        _exit(0);
    }
    ASSERT_EQ(waitpid(heir, &status, 0), heir);
    EXPECT_TRUE(std::filesystem::exists(runtime.file(socketName)));
    socket.close();
    EXPECT_FALSE(std::filesystem::exists(runtime.file(socketName)));
}

TEST(LocalSocket, NameTooLongForASocketAddressFails) {
    TempDir runtime;
    ScopedRuntimeDir runtimeDir(runtime.path().c_str());
    LocalSocket socket;
    EXPECT_EQ(socket.bind(std::string(120, 'n')), LocalSocket::BindResult::failed);
    EXPECT_EQ(localSocketPath(std::string(120, 'n')), "");
}

}  // namespace
