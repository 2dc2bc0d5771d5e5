#pragma once
#include <sys/types.h>

#include <string>

// A program started on one argument (the paint program on the view file). Reaped when it
// ends; a child still running when the object goes away is left running (the user's
// paint program is not ours to stop) and reaped by whoever waits for it.
class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&& other) noexcept;
    ChildProcess& operator=(ChildProcess&& other) noexcept;
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // Starts program (a path, or a bare name looked up in PATH) with argument, in this
    // process's environment and folder; false (errno set) when it cannot be started,
    // including a program that does not exist or cannot be executed.
    bool start(const std::string& program, const std::string& argument);

    pid_t pid() const { return pid_; }
    // True while the process has not ended; reaps it when it has.
    bool running();
    // The status waitpid gave when running() or wait() reaped the process; -1 before.
    int exitStatus() const { return status_; }
    // Blocks until the process ends; its exit status as waitpid gives it, or -1.
    int wait();

private:
    pid_t pid_ = -1;
    int status_ = -1;
};

// The program as it would be started: a name without a slash found in PATH, else as given.
std::string findProgram(const std::string& program);
