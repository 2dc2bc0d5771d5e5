#pragma once
#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// A program started for a test, with its standard output and error in files. Ended with
// SIGKILL when the object goes away and it is still running.
class TestProcess {
public:
    // Starts program with arguments and the current environment plus extra variables.
    TestProcess(const std::string& program, const std::vector<std::string>& arguments,
                const std::map<std::string, std::string>& environment, const std::string& outputPath);
    ~TestProcess();
    TestProcess(const TestProcess&) = delete;
    TestProcess& operator=(const TestProcess&) = delete;

    pid_t pid() const { return pid_; }
    // The exit code (128 + signal for a killed process), or nothing when it is still
    // running after timeout.
    std::optional<int> waitFor(std::chrono::milliseconds timeout);
    void signal(int number) const;

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// A private X server (Xvfb) on a display number it picks itself.
class XServer {
public:
    // screen: Xvfb's "WIDTHxHEIGHTxDEPTH".
    explicit XServer(std::string screen = "1280x1024x24");
    ~XServer();
    XServer(const XServer&) = delete;
    XServer& operator=(const XServer&) = delete;

    bool ok() const { return !display_.empty(); }
    // ":N"
    const std::string& display() const { return display_; }

private:
    void start();
    void stop();

    pid_t pid_ = -1;
    std::string screen_;
    std::string display_;
};

// Runs a shell command (bounded by the coreutils timeout) and returns its standard
// output without the final line break; nothing when it failed.
std::optional<std::string> runCommand(const std::string& command, int timeoutSeconds = 10);

// Calls probe every 50 ms until it answers true or timeout passes.
bool waitUntil(std::chrono::milliseconds timeout, const std::function<bool()>& probe);
