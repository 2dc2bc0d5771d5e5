#include "platform/named_event.h"

#include <atomic>
#include <cstdint>

namespace {
constexpr std::size_t flagSize = sizeof(std::uint32_t);
static_assert(std::atomic_ref<std::uint32_t>::is_always_lock_free);

std::atomic_ref<std::uint32_t> flag(const SharedMemory& memory) {
    return std::atomic_ref<std::uint32_t>(*static_cast<std::uint32_t*>(memory.data()));
}
}  // namespace

bool NamedEvent::create(const std::string& name) {
    SharedMemory::remove(name);
    return memory_.create(name, flagSize) == SharedMemory::Result::ok;
}

bool NamedEvent::open(const std::string& name) {
    return memory_.open(name, flagSize) == SharedMemory::Result::ok;
}

// Sequentially consistent, so that a waiter that finds the flag clear before it polls
// its door bell is sure to be rung by the setter.
void NamedEvent::set() {
    if (memory_) flag(memory_).store(1);
}

void NamedEvent::reset() {
    if (memory_) flag(memory_).store(0);
}

bool NamedEvent::isSet() const { return memory_ && flag(memory_).load() != 0; }
