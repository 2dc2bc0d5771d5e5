#pragma once
// What every fuzz target shares: the fuzzer's bytes as a file the readers open by path,
// a destination for pixels, and a process set up so that an input costs only its reading.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "image/image_io.h"
#include "image/pixel_budget.h"
#include "platform/message.h"

// A file in memory (memfd), rewritten for each input and opened through /proc/self/fd.
class InputFile {
public:
    InputFile() : fd_(::memfd_create("fuzz-input", MFD_CLOEXEC)), path_("/proc/self/fd/" + std::to_string(fd_)) {}
    ~InputFile() { ::close(fd_); }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;

    const char* write(const std::uint8_t* data, std::size_t size) {
        static_cast<void>(::ftruncate(fd_, 0));
        std::size_t done = 0;
        while (done < size) {
            const ssize_t n = ::pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        return path_.c_str();
    }

private:
    int fd_;
    std::string path_;
};

// A file whose name the reader looks at (a scene file's extension): in a folder of this
// process's own under /dev/shm, removed at exit.
class NamedInputFile {
public:
    explicit NamedInputFile(const std::string& name)
        : folder_("/dev/shm/domecast-fuzz-" + std::to_string(::getpid())), path_(folder_ + "/" + name) {
        ::mkdir(folder_.c_str(), 0700);
    }
    ~NamedInputFile() {
        ::unlink(path_.c_str());
        ::rmdir(folder_.c_str());
    }
    NamedInputFile(const NamedInputFile&) = delete;
    NamedInputFile& operator=(const NamedInputFile&) = delete;

    const std::string& write(const std::uint8_t* data, std::size_t size) {
        const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        std::size_t done = 0;
        while (fd >= 0 && done < size) {
            const ssize_t n = ::write(fd, data + done, size - done);
            if (n <= 0) break;
            done += static_cast<std::size_t>(n);
        }
        if (fd >= 0) ::close(fd);
        return path_;
    }

private:
    std::string folder_;
    std::string path_;
};

// Pixels of exactly the size asked for, so that AddressSanitizer sees a row written past
// the picture; left uninitialised, since clearing megabytes for every input would take
// most of the fuzzer's time.
struct FuzzPicture {
    std::unique_ptr<std::uint8_t[]> pixels;
    static void sink(Size size, int hint, void* userData, std::uint32_t& stride, int& bytesPerPixel,
                     std::uint8_t*& pixels) {
        auto* picture = static_cast<FuzzPicture*>(userData);
        bytesPerPixel = hint == 4 ? 4 : 3;
        stride = (static_cast<std::uint32_t>(size.width) * static_cast<std::uint32_t>(bytesPerPixel) + 3) & ~3u;
        const std::size_t bytes = static_cast<std::size_t>(stride) * static_cast<std::size_t>(size.height);
        picture->pixels.reset(new std::uint8_t[bytes]);
        pixels = picture->pixels.get();
    }
};

// Once per process: no message reaches stderr, and no picture above 1 megapixel is
// allocated, so that the fuzzer spends its time in the parsers, not in page faults.
inline bool prepareFuzzing() {
    setMessageHandler([](const std::string&, const std::string&, MessageStyle) { return MessageAnswer::ok; });
    setMaxImageMegapixels(1);
    return true;
}
