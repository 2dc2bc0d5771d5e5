#include "platform/signal_descriptor.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>

#include <csignal>

namespace {

bool blocked(int number) {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    return sigismember(&mask, number) == 1;
}

TEST(SignalDescriptor, ASignalBecomesReadableDataInsteadOfItsDefaultAction) {
    {
        SignalDescriptor signals{SIGUSR1, SIGUSR2};
        ASSERT_TRUE(signals);
        EXPECT_EQ(signals.take(), 0) << "nothing sent yet";
        // SIGUSR1's default action would end this test program.
        ASSERT_EQ(raise(SIGUSR1), 0);
        pollfd readable{signals.fd(), POLLIN, 0};
        EXPECT_EQ(poll(&readable, 1, 1000), 1);
        EXPECT_EQ(signals.take(), SIGUSR1);
        EXPECT_EQ(signals.take(), 0);
        // One left untaken is dropped with the descriptor.
        ASSERT_EQ(raise(SIGUSR2), 0);
    }
    EXPECT_FALSE(blocked(SIGUSR1));
    EXPECT_FALSE(blocked(SIGUSR2));
}

}  // namespace
