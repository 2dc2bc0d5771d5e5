#include "platform/progress.h"

#include <atomic>

namespace {
std::atomic<ProgressObserver*> installed{nullptr};
}

ProgressObserver* setProgressObserver(ProgressObserver* observer) { return installed.exchange(observer); }

bool reportProgress(std::uint64_t done, std::uint64_t total) {
    ProgressObserver* observer = installed.load(std::memory_order_relaxed);
    if (observer == nullptr || total == 0) return true;
    return observer->progressed(done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total));
}
