#include "support/x_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <thread>
#include <utility>

extern char** environ;

namespace {
int decode(int status) { return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status); }
}  // namespace

TestProcess::TestProcess(const std::string& program, const std::vector<std::string>& arguments,
                         const std::map<std::string, std::string>& environment, const std::string& outputPath) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('='));
        if (environment.count(name) == 0) env.push_back(entry);
    }
    for (const auto& [name, value] : environment) env.push_back(name + "=" + value);
    std::vector<char*> argv{const_cast<char*>(program.c_str())};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);

    pid_ = ::fork();
    if (pid_ == 0) {
        const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
}

TestProcess::~TestProcess() {
    if (pid_ > 0 && !status_) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

std::optional<int> TestProcess::waitFor(std::chrono::milliseconds timeout) {
    if (status_ || pid_ <= 0) return status_;
    waitUntil(timeout, [this] {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) != pid_) return false;
        status_ = decode(status);
        return true;
    });
    return status_;
}

void TestProcess::signal(int number) const {
    if (pid_ > 0 && !status_) ::kill(pid_, number);
}

XServer::XServer(std::string screen) : screen_(std::move(screen)) {
    // A server that reported its display but does not take clients (it lost a race for
    // the display number with another server) is replaced by a fresh one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        start();
        if (ok() && runCommand("env DISPLAY=" + display_ + " xdotool getdisplaygeometry", 5)) return;
        stop();
    }
}

void XServer::start() {
    int ends[2];
    if (::pipe(ends) != 0) return;
    const std::string fd = std::to_string(ends[1]);
    pid_ = ::fork();
    if (pid_ == 0) {
        ::close(ends[0]);
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0) {
            ::dup2(quiet, 1);
            ::dup2(quiet, 2);
        }
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen_.c_str(), "-nolisten", "tcp", "-noreset",
                 static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(ends[1]);
    // Xvfb writes the display number and a line break once it accepts connections.
    std::string number;
    pollfd p{ends[0], POLLIN, 0};
    while (::poll(&p, 1, 20000) > 0) {
        char c = 0;
        if (::read(ends[0], &c, 1) != 1 || c == '\n') break;
        number += c;
    }
    ::close(ends[0]);
    if (!number.empty()) display_ = ":" + number;
}

XServer::~XServer() { stop(); }

void XServer::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
    pid_ = -1;
    display_.clear();
}

std::optional<std::string> runCommand(const std::string& command, int timeoutSeconds) {
    const std::string bounded = "timeout " + std::to_string(timeoutSeconds) + " " + command;
    FILE* pipe = ::popen(bounded.c_str(), "r");
    if (pipe == nullptr) return std::nullopt;
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) output += buffer;
    const int status = ::pclose(pipe);
    if (status != 0) return std::nullopt;
    while (!output.empty() && output.back() == '\n') output.pop_back();
    return output;
}

bool waitUntil(std::chrono::milliseconds timeout, const std::function<bool()>& probe) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (probe()) return true;
        if (std::chrono::steady_clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
}
