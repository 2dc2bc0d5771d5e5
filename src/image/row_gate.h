#pragma once
#include <cstdint>

// A picture still being made while a writer takes it: how many of its rows, counted from
// the top, a writer may read so far. The JPEG and PNG writers take rows from the top and
// ask the gate open on their thread before each one; a picture made whole beforehand opens
// none.
class RowGate {
public:
    virtual ~RowGate() = default;
    // Returns once the top rowsFromTop rows are made; throws what their making threw.
    virtual void waitForRows(std::int32_t rowsFromTop) = 0;

    // The gate open on this thread, or null.
    static RowGate* current();
};

// Opens gate on this thread for the object's lifetime (the one it replaces comes back).
class ScopedRowGate {
public:
    explicit ScopedRowGate(RowGate& gate);
    ~ScopedRowGate();
    ScopedRowGate(const ScopedRowGate&) = delete;
    ScopedRowGate& operator=(const ScopedRowGate&) = delete;

private:
    RowGate* outer_;
};

// What a writer calls before reading its row rowsFromTop - 1.
inline void waitForRows(std::int32_t rowsFromTop) {
    if (RowGate* gate = RowGate::current()) gate->waitForRows(rowsFromTop);
}
