#pragma once
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

inline constexpr const char* cancelledReason = "cancelled";

// Whether the failure is the user's Cancel: nothing to report.
inline bool isCancellation(const ioException& e) {
    return e.reason != nullptr && std::string_view(e.reason) == cancelledReason;
}
