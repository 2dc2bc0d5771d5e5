#pragma once
#include <cstddef>

#include "platform/unique_fd.h"

// Anonymous memory shared with other processes through its descriptor (a memfd), mapped
// read/write. It has no name anybody could take first; its size is sealed, so that no
// process can shrink it under another's mapping. Move-only; the mapping and the descriptor
// are released when it is destroyed or closed.
class SharedMemory {
public:
    // tooSmall: smaller than asked for; unsealed: its size could still change.
    enum class Result { ok, tooSmall, unsealed, failed };

    SharedMemory() = default;
    ~SharedMemory() { close(); }
    SharedMemory(SharedMemory&& other) noexcept;
    SharedMemory& operator=(SharedMemory&& other) noexcept;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Makes zeroed memory of size bytes, seals its size and maps it. label shows in
    // /proc/<pid>/fd only.
    Result create(const char* label, std::size_t size);
    // Maps size bytes of memory another process made; refused unless its size is sealed
    // and at least size bytes.
    Result adopt(UniqueFd descriptor, std::size_t size);

    // A shared lock on the first byte (an open-file-description lock), held until this
    // object is closed or its process ends; and whether any other open description of the
    // memory holds one.
    bool holdUseLock();
    bool useLockHeld() const;

    void* data() const { return data_; }
    std::size_t size() const { return size_; }
    int descriptor() const { return fd_.get(); }
    explicit operator bool() const { return data_ != nullptr; }
    void close();

private:
    bool map(std::size_t size);

    UniqueFd fd_;
    void* data_ = nullptr;
    std::size_t size_ = 0;
};
