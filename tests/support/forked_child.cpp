#include "support/forked_child.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <exception>

#include "platform/unique_fd.h"

std::string checkInChild(const std::function<std::string()>& body) {
    int ends[2];
    if (::pipe(ends) != 0) return "cannot make a pipe to the child";
    UniqueFd reading(ends[0]);
    UniqueFd writing(ends[1]);
    const pid_t child = ::fork();
    if (child < 0) return "cannot fork";
    if (child == 0) {
        reading.reset();
        std::string report;
        try {
            report = body();
        } catch (const std::exception& e) {
            report = std::string("the child threw: ") + e.what();
        } catch (...) {
            report = "the child threw";
        }
        const char* data = report.data();
        std::size_t left = report.size();
        while (left > 0) {
            const ssize_t put = ::write(writing.get(), data, left);
            if (put < 0 && errno == EINTR) continue;
            if (put <= 0) break;
            data += put;
            left -= static_cast<std::size_t>(put);
        }
        ::_exit(0);  // no exit handlers: they belong to the parent's test run
    }
    writing.reset();
    std::string report;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(reading.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        report.append(buffer, static_cast<std::size_t>(got));
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        report += "\nthe child ended abnormally (status " + std::to_string(status) + ")";
    return report;
}

bool killWhenStopped(pid_t child) {
    int status = 0;
    while (::waitpid(child, &status, WUNTRACED) < 0)
        if (errno != EINTR) return false;
    if (!WIFSTOPPED(status)) return false;
    ::kill(child, SIGKILL);
    while (::waitpid(child, &status, 0) < 0)
        if (errno != EINTR) return false;
    return true;
}
