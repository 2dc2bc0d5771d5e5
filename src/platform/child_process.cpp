#include "platform/child_process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string_view>
#include <csignal>
#include <utility>

extern char** environ;

namespace {

struct SpawnAttributes {
    SpawnAttributes() {
        const int error = ::posix_spawnattr_init(&value);
        made = error == 0;
        if (!made) errno = error;
    }
    ~SpawnAttributes() {
        if (made) ::posix_spawnattr_destroy(&value);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;

    posix_spawnattr_t value;
    bool made = false;
};

struct SpawnFileActions {
    SpawnFileActions() {
        const int error = ::posix_spawn_file_actions_init(&value);
        made = error == 0;
        if (!made) errno = error;
    }
    ~SpawnFileActions() {
        if (made) ::posix_spawn_file_actions_destroy(&value);
    }
    SpawnFileActions(const SpawnFileActions&) = delete;
    SpawnFileActions& operator=(const SpawnFileActions&) = delete;

    posix_spawn_file_actions_t value;
    bool made = false;
};

}  // namespace

std::string findProgram(const std::string& program) {
    if (program.empty() || program.find('/') != std::string::npos) return program;
    const char* path = std::getenv("PATH");
    if (path == nullptr) return program;
    std::string_view rest(path);
    while (true) {
        const std::size_t colon = rest.find(':');
        const std::string_view folder = rest.substr(0, colon);
        // An empty entry of PATH names the current folder.
        std::string candidate(folder.empty() ? std::string_view(".") : folder);
        candidate.push_back('/');
        candidate.append(program);
        if (::access(candidate.c_str(), X_OK) == 0) return candidate;
        if (colon == std::string_view::npos) break;
        rest.remove_prefix(colon + 1);
    }
    return program;
}

ChildProcess::~ChildProcess() {
    if (pid_ > 0) running();  // reap if it has already ended
}

ChildProcess::ChildProcess(ChildProcess&& other) noexcept
    : pid_(std::exchange(other.pid_, -1)), status_(std::exchange(other.status_, -1)) {}

ChildProcess& ChildProcess::operator=(ChildProcess&& other) noexcept {
    if (this != &other) {
        if (pid_ > 0) running();  // reap the one given up if it has already ended, as at destruction
        pid_ = std::exchange(other.pid_, -1);
        status_ = std::exchange(other.status_, -1);
    }
    return *this;
}

bool ChildProcess::start(const std::string& name, const std::string& argument) {
    const std::string program = findProgram(name);
    // posix_spawn reports a missing program only through the child's exit status (127);
    // check first so that the caller can report it as a failed start.
    if (::access(program.c_str(), X_OK) != 0) return false;
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>(argument.c_str()), nullptr};
    // The program starts with no signal blocked, whatever this process blocks to receive
    // its own through a signal descriptor.
    SpawnAttributes attributes;
    if (!attributes.made) return false;
    sigset_t none;
    sigemptyset(&none);
    ::posix_spawnattr_setsigmask(&attributes.value, &none);
    ::posix_spawnattr_setflags(&attributes.value, POSIX_SPAWN_SETSIGMASK);
    // The program gets none of this process's descriptors (the link's bell, the display).
    SpawnFileActions actions;
    if (!actions.made) return false;
    if (const int error = ::posix_spawn_file_actions_addclosefrom_np(&actions.value, 3); error != 0) {
        errno = error;
        return false;
    }
    pid_t pid = -1;
    const int error = ::posix_spawn(&pid, program.c_str(), &actions.value, &attributes.value, argv, environ);
    if (error != 0) {
        errno = error;
        return false;
    }
    pid_ = pid;
    status_ = -1;
    return true;
}

bool ChildProcess::running() {
    if (pid_ <= 0) return false;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid_, &status, WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result == 0) return true;
    pid_ = -1;
    status_ = result < 0 ? -1 : status;
    return false;
}

int ChildProcess::wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(pid_, &status, 0);
    } while (result < 0 && errno == EINTR);
    pid_ = -1;
    status_ = result < 0 ? -1 : status;
    return status_;
}
