#include "platform/signal_descriptor.h"

#include <pthread.h>
#include <sys/signalfd.h>

#include <cerrno>

SignalDescriptor::SignalDescriptor(std::initializer_list<int> signals) {
    sigset_t set;
    sigemptyset(&set);
    for (const int number : signals) sigaddset(&set, number);
    if (pthread_sigmask(SIG_BLOCK, &set, &previous_) != 0) return;
    fd_.reset(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (!fd_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

SignalDescriptor::~SignalDescriptor() {
    if (!fd_) return;
    while (take() != 0) {
    }
    fd_.reset();
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

int SignalDescriptor::take() {
    if (!fd_) return 0;
    signalfd_siginfo info;
    ssize_t n;
    do {
        n = ::read(fd_.get(), &info, sizeof info);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof info) ? static_cast<int>(info.ssi_signo) : 0;
}
