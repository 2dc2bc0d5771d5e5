#include "platform/shared_memory.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
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

SharedMemory::Result SharedMemory::create(const std::string& name, std::size_t size) {
    close();
    UniqueFd fd(::shm_open(name.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!fd) return errno == EEXIST ? Result::exists : Result::failed;
    fd_ = std::move(fd);
    // The umask may have narrowed the mode, never widened it; make it exactly 0600.
    if (::fchmod(fd_.get(), 0600) != 0 || ::ftruncate(fd_.get(), static_cast<off_t>(size)) != 0 ||
        !map(size)) {
        close();
        remove(name);
        return Result::failed;
    }
    return Result::ok;
}

SharedMemory::Result SharedMemory::openUnmapped(const std::string& name, bool acceptExposed) {
    close();
    UniqueFd fd(::shm_open(name.c_str(), O_RDWR | O_CLOEXEC, 0));
    if (!fd) return errno == ENOENT ? Result::missing : errno == EACCES ? Result::foreign : Result::failed;
    // /dev/shm is shared by all users: an object planted by somebody else is not ours.
    struct stat status {};
    if (::fstat(fd.get(), &status) != 0) return Result::failed;
    if (status.st_uid != ::geteuid()) return Result::foreign;
    if ((status.st_mode & 077) != 0 && !acceptExposed) return Result::exposed;
    fd_ = std::move(fd);
    return Result::ok;
}

SharedMemory::Result SharedMemory::open(const std::string& name, std::size_t size) {
    const Result opened = openUnmapped(name);
    if (opened != Result::ok) return opened;
    struct stat status {};
    // Touching pages beyond the object's end would raise SIGBUS.
    if (::fstat(fd_.get(), &status) != 0 || status.st_size < 0 ||
        static_cast<std::size_t>(status.st_size) < size || !map(size)) {
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

bool SharedMemory::tryLock() {
    if (!fd_) return false;
    int result;
    do result = ::flock(fd_.get(), LOCK_EX | LOCK_NB);
    while (result != 0 && errno == EINTR);
    return result == 0;
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

void SharedMemory::remove(const std::string& name) { ::shm_unlink(name.c_str()); }
