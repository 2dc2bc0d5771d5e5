#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

SharedMemory::SharedMemory(SharedMemory&& other) noexcept
    : fd_(std::move(other.fd_)),
      data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)) {}

SharedMemory& SharedMemory::operator=(SharedMemory&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = std::move(other.fd_);
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
    }
    return *this;
}

namespace {
// Growing is sealed too: a process that grew the memory could make the others' view of
// its size disagree with their mappings' ends for no use.
constexpr int sizeSeals = F_SEAL_SHRINK | F_SEAL_GROW;
}  // namespace

SharedMemory::Result SharedMemory::create(const char* label, std::size_t size) {
    close();
    UniqueFd fd(::memfd_create(label, MFD_CLOEXEC | MFD_ALLOW_SEALING));
    if (!fd || ::ftruncate(fd.get(), static_cast<off_t>(size)) != 0 ||
        ::fcntl(fd.get(), F_ADD_SEALS, sizeSeals | F_SEAL_SEAL) != 0)
        return Result::failed;
    fd_ = std::move(fd);
    if (!map(size)) {
        close();
        return Result::failed;
    }
    return Result::ok;
}

SharedMemory::Result SharedMemory::adopt(UniqueFd descriptor, std::size_t size) {
    close();
    if (!descriptor) return Result::failed;
    // Touching pages beyond the memory's end would raise SIGBUS: the size must be enough
    // now and unable to shrink later.
    const int seals = ::fcntl(descriptor.get(), F_GET_SEALS);
    if (seals < 0 || (seals & F_SEAL_SHRINK) == 0) return Result::unsealed;
    struct stat status {};
    if (::fstat(descriptor.get(), &status) != 0 || !S_ISREG(status.st_mode) || status.st_size < 0)
        return Result::failed;
    if (static_cast<std::size_t>(status.st_size) < size) return Result::tooSmall;
    fd_ = std::move(descriptor);
    if (!map(size)) {
        close();
        return Result::failed;
    }
    return Result::ok;
}

bool SharedMemory::map(std::size_t size) {
    void* data = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd_.get(), 0);
    if (data == MAP_FAILED) return false;
    data_ = data;
    size_ = size;
    return true;
}

namespace {
struct flock firstByte(short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1;
    return lock;
}
}  // namespace

bool SharedMemory::holdUseLock() {
    if (!fd_) return false;
    struct flock lock = firstByte(F_RDLCK);
    return ::fcntl(fd_.get(), F_OFD_SETLK, &lock) == 0;
}

bool SharedMemory::useLockHeld() const {
    if (!fd_) return false;
    // Asking for a write lock finds any reader's lock; this description holds none.
    struct flock lock = firstByte(F_WRLCK);
    if (::fcntl(fd_.get(), F_OFD_GETLK, &lock) != 0) return false;
    return lock.l_type != F_UNLCK;
}

void SharedMemory::close() {
    if (data_ != nullptr) ::munmap(data_, size_);
    data_ = nullptr;
    size_ = 0;
    fd_.reset();
}
