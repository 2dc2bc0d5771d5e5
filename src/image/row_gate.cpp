#include "image/row_gate.h"

namespace {
thread_local RowGate* currentGate = nullptr;
}  // namespace

RowGate* RowGate::current() { return currentGate; }

ScopedRowGate::ScopedRowGate(RowGate& gate) : outer_(currentGate) { currentGate = &gate; }

ScopedRowGate::~ScopedRowGate() { currentGate = outer_; }
