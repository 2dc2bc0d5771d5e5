#include "platform/child_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/file_time.h"
#include "platform/temp_file.h"
#include "support/temp_dir.h"

TEST(ChildProcess, RunsTheProgramOnItsArgumentAndReportsItsStatus) {
    TempDir dir;
    const std::string marker = dir.file("touched");
    ChildProcess child;
    ASSERT_TRUE(child.start("/usr/bin/touch", marker));
    const int status = child.wait();
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::exists(marker));
    EXPECT_FALSE(child.running());
}

TEST(ChildProcess, AMissingProgramIsAFailedStart) {
    ChildProcess child;
    EXPECT_FALSE(child.start("/nonexistent/paint-program", "x.bmp"));
    EXPECT_EQ(child.pid(), -1);
}

TEST(ChildProcess, ABareNameIsFoundInPathAndTheChildGetsNoneOfOurDescriptors) {
    TempDir dir;
    const std::string result = dir.file("result");
    // A descriptor without close-on-exec, as a library might leave one.
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const std::string script = dir.file("script");
    std::ofstream(script) << "if [ -e /proc/$$/fd/" << ends[1] << " ]; then echo open; else echo closed; fi > '"
                          << result << "'\n";
    ChildProcess child;
    ASSERT_TRUE(child.start("sh", script));
    const int status = child.wait();
    ::close(ends[0]);
    ::close(ends[1]);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    std::string text;
    std::ifstream(result) >> text;
    EXPECT_EQ(text, "closed");
    EXPECT_EQ(findProgram("no-such-program-anywhere"), "no-such-program-anywhere");
}

TEST(ChildProcess, RunningUntilItEnds) {
    ChildProcess child;
    ASSERT_TRUE(child.start("/bin/sleep", "0.2"));
    EXPECT_TRUE(child.running());
    child.wait();
    EXPECT_FALSE(child.running());
}

TEST(ChildProcess, AChildGivenUpForAnotherIsReapedOnceEndedAndLeftRunningOtherwise) {
    ChildProcess ended, running;
    ASSERT_TRUE(ended.start("/bin/true", ""));
    ASSERT_TRUE(running.start("/bin/sleep", "5"));
    const pid_t endedPid = ended.pid(), runningPid = running.pid();
    // Ended but not reaped: a zombie until somebody waits for it.
    siginfo_t info{};
    ASSERT_EQ(::waitid(P_PID, static_cast<id_t>(endedPid), &info, WEXITED | WNOWAIT), 0);

    ended = ChildProcess{};
    EXPECT_EQ(::waitpid(endedPid, nullptr, WNOHANG), -1);  // already reaped: no such child
    running = ChildProcess{};
    EXPECT_EQ(::kill(runningPid, 0), 0);  // the user's program is not ours to stop
    ::kill(runningPid, SIGKILL);
    EXPECT_EQ(::waitpid(runningPid, nullptr, 0), runningPid);
}

TEST(TempViewPath, MadeInTmpWithPrefixAndSuffixAndRemovedByItsGuard) {
    TempDir dir;
    const char* previous = std::getenv("TMP");
    const std::string saved = previous ? previous : "";
    setenv("TMP", dir.path().c_str(), 1);
    std::string path;
    {
        TempFileGuard guard(makeTempViewPath());
        path = guard.path();
        const std::string name = std::filesystem::path(path).filename().string();
        EXPECT_EQ(std::filesystem::path(path).parent_path(), dir.path());
        EXPECT_EQ(name.rfind("T_DC", 0), 0u);
        EXPECT_EQ(name.substr(name.size() - 4), ".bmp");
        EXPECT_TRUE(std::filesystem::exists(path));
        EXPECT_NE(makeTempViewPath(), path);  // unique
    }
    EXPECT_FALSE(std::filesystem::exists(path));

    setenv("TMP", "/nonexistent-folder", 1);
    TempFileGuard fallback(makeTempViewPath());
    EXPECT_NE(fallback.path().find("T_DC"), std::string::npos);
    if (previous) setenv("TMP", saved.c_str(), 1); else unsetenv("TMP");
}

TEST(FileTime, ChangesWhenTheFileIsWrittenWithinTheSameSecond) {
    TempDir dir;
    const std::string path = dir.file("view.bmp");
    std::ofstream(path) << "a";
    const FileTime written = modificationTime(path.c_str());
    EXPECT_GT(written, 0);
    EXPECT_EQ(modificationTime(dir.file("missing").c_str()), 0);
    // A later write is later, even without waiting a second (the file system keeps
    // nanoseconds; wait a little so the coarse kernel clock moves on).
    timespec pause{0, 20000000};
    nanosleep(&pause, nullptr);
    std::ofstream(path, std::ios::app) << "b";
    EXPECT_GT(modificationTime(path.c_str()), written);
    EXPECT_GE(currentTime(), written);
}
