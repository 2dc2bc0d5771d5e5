#pragma once
// A program run to its end, with what it cost: its exit status, the wall and processor
// time and its peak resident memory (the child's own high-water mark, from wait4).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

struct MeasuredRun {
    int status = -1;  // the exit status; -1 when it did not start or did not exit
    double seconds = 0;
    double cpuSeconds = 0;  // user and system, over all its threads
    long peakKilobytes = 0;
};

inline MeasuredRun runMeasured(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    MeasuredRun run;
    const auto start = std::chrono::steady_clock::now();
    const pid_t child = ::fork();
    if (child < 0) return run;
    if (child == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    if (::wait4(child, &status, 0, &usage) != child) return run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.peakKilobytes = usage.ru_maxrss;
    const auto secondsOf = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    run.cpuSeconds = secondsOf(usage.ru_utime) + secondsOf(usage.ru_stime);
    if (WIFEXITED(status)) run.status = WEXITSTATUS(status);
    return run;
}
