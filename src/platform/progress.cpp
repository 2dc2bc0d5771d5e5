#include "platform/progress.h"

#include <algorithm>
#include <atomic>

namespace {
std::atomic<ProgressObserver*> installed{nullptr};
// The innermost division of the step under way.
std::atomic<ProgressParts*> innermost{nullptr};
}  // namespace

ProgressObserver* setProgressObserver(ProgressObserver* observer) { return installed.exchange(observer); }

bool reportProgress(std::uint64_t done, std::uint64_t total) {
    ProgressObserver* observer = installed.load(std::memory_order_relaxed);
    if (observer == nullptr || total == 0) return true;
    const double fraction = done >= total ? 1.0 : static_cast<double>(done) / static_cast<double>(total);
    const ProgressParts* parts = innermost.load(std::memory_order_acquire);
    return observer->progressed(parts != nullptr ? parts->whole(fraction) : fraction);
}

ProgressParts::ProgressParts(int count)
    : count_(std::max(count, 1)), outer_(innermost.exchange(this, std::memory_order_acq_rel)) {}

ProgressParts::~ProgressParts() { innermost.store(outer_, std::memory_order_release); }

void ProgressParts::start(int index) { index_.store(std::clamp(index, 0, count_ - 1), std::memory_order_relaxed); }

double ProgressParts::whole(double partFraction) const {
    const double fraction = (index_.load(std::memory_order_relaxed) + partFraction) / count_;
    return outer_ != nullptr ? outer_->whole(fraction) : fraction;
}
