#include "platform/file_mapping.h"

#include <sys/mman.h>

#include <utility>

FileMapping::FileMapping(int fd, std::size_t size) {
    if (size == 0) return;  // mmap refuses empty mappings
    void* address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
    if (address == MAP_FAILED) return;
    data_ = static_cast<const std::uint8_t*>(address);
    size_ = size;
}

FileMapping::~FileMapping() { unmap(); }

FileMapping::FileMapping(FileMapping&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)), size_(std::exchange(other.size_, 0)) {}

FileMapping& FileMapping::operator=(FileMapping&& other) noexcept {
    if (this != &other) {
        unmap();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

bool FileMapping::unmap() {
    if (data_ == nullptr) return true;
    const int result = ::munmap(const_cast<std::uint8_t*>(data_), size_);
    data_ = nullptr;
    size_ = 0;
    return result == 0;
}
