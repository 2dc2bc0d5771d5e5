#pragma once
#include <atomic>
#include <cstdint>
#include <string_view>

#include "platform/io_exception.h"

// How far long work (reading, converting, writing a picture) has come, for whoever shows
// it: the command line's bar, the editor's progress dialog. Without an observer a report
// costs one load.
class ProgressObserver {
public:
    virtual ~ProgressObserver() = default;
    // fraction of the current step, 0 to 1; false asks the work to stop.
    virtual bool progressed(double fraction) = 0;
};

// Installs the observer (null: none) for the whole process; returns the previous one.
ProgressObserver* setProgressObserver(ProgressObserver* observer);

// done of total units of the current step; false when the observer asks to stop. Work
// that can stop gives up with cancelledReason, leaving nothing changed.
bool reportProgress(std::uint64_t done, std::uint64_t total);

// Makes work that reports as several pieces one after another (the six faces of a save,
// each written by a codec that reports from 0 to 1) one step: while it lives, a report is
// of the part started last and is passed on as that part's share of the whole, so the
// fraction the observer sees only grows. Parts nest: a part may be divided again.
class ProgressParts {
public:
    explicit ProgressParts(int count);
    ~ProgressParts();
    ProgressParts(const ProgressParts&) = delete;
    ProgressParts& operator=(const ProgressParts&) = delete;

    // The part from now on, from 0 to count - 1.
    void start(int index);

private:
    friend bool reportProgress(std::uint64_t done, std::uint64_t total);
    double whole(double partFraction) const;

    const int count_;
    std::atomic<int> index_{0};
    ProgressParts* const outer_;
};

inline constexpr const char* cancelledReason = "cancelled";

// Whether the failure is the user's Cancel: nothing to report.
inline bool isCancellation(const ioException& e) {
    return e.reason != nullptr && std::string_view(e.reason) == cancelledReason;
}
