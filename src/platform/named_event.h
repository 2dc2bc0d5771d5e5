#pragma once
#include <string>

#include "platform/shared_memory.h"

// The signalled state of a manual-reset event shared between processes: a 4-byte
// shared-memory object holding the flag. Waking the waiters is the door bell's job.
class NamedEvent {
public:
    // Replaces any old object of that name by a new, not signalled one.
    bool create(const std::string& name);
    bool open(const std::string& name);
    explicit operator bool() const { return static_cast<bool>(memory_); }
    void close() { memory_.close(); }

    void set();
    void reset();
    bool isSet() const;

private:
    SharedMemory memory_;
};
