// Documents and web addresses opened with the desktop's handler without waiting for it:
// the next address after a failure, the failure's reason, a handler that keeps running.
#include "shell/desktop_open.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <iterator>
#include <fstream>
#include <thread>

#include "support/temp_dir.h"

namespace {

using State = DesktopOpen::State;
using namespace std::chrono_literals;

class DesktopOpenTest : public ::testing::Test {
protected:
    // An opener that logs its argument and exits with fileStatus for file:// addresses
    // and webStatus for any other.
    std::string writeOpener(int fileStatus, int webStatus, const std::string& before = {}) {
        const std::string path = dir.file("opener");
        std::ofstream(path) << "#!/bin/sh\n"
                            << before << "\necho \"$1\" >> '" << log() << "'\n"
                            << "case \"$1\" in file://*) exit " << fileStatus << ";; esac\nexit " << webStatus << "\n";
        ::chmod(path.c_str(), 0700);
        return path;
    }
    std::string log() const { return dir.file("log"); }
    std::string logged() const { return readAll(log()); }
    static std::string readAll(const std::string& path) {
        std::ifstream in(path);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Waits for the running handler's end as the event loop would, then reaps it.
    static State settle(DesktopOpen& open) {
        for (int i = 0; i < 200 && open.state() == State::running; ++i) {
            if (open.descriptor() >= 0) {
                pollfd entry{open.descriptor(), POLLIN, 0};
                ::poll(&entry, 1, 50);
            } else {
                std::this_thread::sleep_for(50ms);
            }
            open.poll();
        }
        return open.state();
    }

    TempDir dir;
};

TEST_F(DesktopOpenTest, EachAddressIsTriedUntilTheHandlerSucceeds) {
    const std::string local = "file:///doc/index.html", web = "https://example.invalid/manual/";
    struct Case {
        int fileStatus, webStatus;
        std::vector<std::string> addresses;
        State outcome;
        std::string log, reason;
    } cases[] = {
        {0, 9, {local, web}, State::opened, local + "\n", ""},
        {3, 0, {local, web}, State::opened, local + "\n" + web + "\n", "exit status 3"},
        {3, 4, {local, web}, State::failed, local + "\n" + web + "\n", "exit status 4"},
        {0, 1, {web}, State::failed, web + "\n", "exit status 1"},
    };
    for (const Case& c : cases) {
        std::remove(log().c_str());
        DesktopOpen open(writeOpener(c.fileStatus, c.webStatus));
        EXPECT_EQ(open.start(c.addresses), State::running);
        EXPECT_EQ(settle(open), c.outcome) << c.log;
        EXPECT_EQ(logged(), c.log);
        EXPECT_NE(open.reason().find(c.reason), std::string::npos) << open.reason();
        EXPECT_EQ(open.descriptor(), -1);
    }
}

TEST_F(DesktopOpenTest, AHandlerThatCannotBeStartedFailsAtOnce) {
    DesktopOpen open(dir.file("no such opener"));
    EXPECT_EQ(open.start({"https://example.invalid/"}), State::failed);
    EXPECT_NE(open.reason().find("No such file"), std::string::npos) << open.reason();
    EXPECT_EQ(open.start({}), State::failed);
}

TEST_F(DesktopOpenTest, StartReturnsWhileTheHandlerStillRuns) {
    // Outside a known desktop the handler is the browser itself, running until closed.
    const std::string go = dir.file("go");
    DesktopOpen open(writeOpener(0, 0, "while [ ! -e '" + go + "' ]; do sleep 0.05; done"));
    ASSERT_EQ(open.start({"https://example.invalid/"}), State::running);
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(open.poll(), State::running);
    if (open.descriptor() >= 0) {
        pollfd entry{open.descriptor(), POLLIN, 0};
        EXPECT_EQ(::poll(&entry, 1, 0), 0);
    }
    std::ofstream(go) << "";
    EXPECT_EQ(settle(open), State::opened);
}

}  // namespace
