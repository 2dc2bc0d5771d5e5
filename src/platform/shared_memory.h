#pragma once
#include <cstddef>
#include <string>

#include "platform/unique_fd.h"

// One named POSIX shared-memory object of this user, mapped read/write. Move-only; the
// mapping and the descriptor are released when it is destroyed or closed.
class SharedMemory {
public:
    // foreign: another user owns the object; exposed: this user owns it, but its mode
    // lets others use it. Both are refusals like failed.
    enum class Result { ok, exists, missing, failed, foreign, exposed };

    SharedMemory() = default;
    ~SharedMemory() { close(); }
    SharedMemory(SharedMemory&& other) noexcept;
    SharedMemory& operator=(SharedMemory&& other) noexcept;
    SharedMemory(const SharedMemory&) = delete;
    SharedMemory& operator=(const SharedMemory&) = delete;

    // Creates the object exclusively, mode 0600, size zero bytes, and maps it.
    Result create(const std::string& name, std::size_t size);
    // Opens an existing object; refused (failed) unless this user owns it, nobody else may
    // use it, and it holds at least size bytes.
    Result open(const std::string& name, std::size_t size);
    // Opens without mapping, for taking the lock of an object that may be half made.
    // With acceptExposed, this user's object with a wrong mode opens too, so that it can
    // be found stale and removed.
    Result openUnmapped(const std::string& name, bool acceptExposed = false);

    // Exclusive advisory lock on the object, held until it is closed (or the process ends).
    bool tryLock();
    // A shared lock on the object's first byte (an open-file-description lock, apart from
    // tryLock's), held until this object is closed or its process ends; and whether any
    // open of the object holds one.
    bool holdUseLock();
    bool useLockHeld() const;

    void* data() const { return data_; }
    std::size_t size() const { return size_; }
    explicit operator bool() const { return data_ != nullptr; }
    void close();

    // Removes the name; objects still open stay usable until closed.
    static void remove(const std::string& name);

private:
    bool map(std::size_t size);

    UniqueFd fd_;
    void* data_ = nullptr;
    std::size_t size_ = 0;
};
