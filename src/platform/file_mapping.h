#pragma once
#include <cstddef>
#include <cstdint>
#include <span>

// A read-only view of the first bytes of a file. Unmapped quietly when destroyed.
class FileMapping {
public:
    FileMapping() = default;
    // Maps size bytes of the file from its start; check valid() afterwards.
    FileMapping(int fd, std::size_t size);
    ~FileMapping();
    FileMapping(FileMapping&& other) noexcept;
    FileMapping& operator=(FileMapping&& other) noexcept;
    FileMapping(const FileMapping&) = delete;
    FileMapping& operator=(const FileMapping&) = delete;

    bool valid() const { return data_ != nullptr; }
    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }

    // Unmaps now and tells whether the unmapping succeeded.
    bool unmap();

private:
    const std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
};
