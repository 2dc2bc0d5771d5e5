#pragma once
#include <cstdio>
#include <utility>

// The one owner of a C stream in the program; closes it quietly when destroyed.
class StdioFile {
public:
    StdioFile() = default;
    StdioFile(const char* path, const char* mode) : file_(std::fopen(path, mode)) {}
    // Takes over a stream opened elsewhere (fdopen); null stays empty.
    explicit StdioFile(std::FILE* file) : file_(file) {}
    ~StdioFile() {
        if (file_) std::fclose(file_);
    }
    StdioFile(StdioFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    StdioFile& operator=(StdioFile&& other) noexcept {
        if (this != &other) {
            if (file_) std::fclose(file_);
            file_ = std::exchange(other.file_, nullptr);
        }
        return *this;
    }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }
    // Closes now; false when buffered data could not be written or the close failed.
    bool close() {
        if (!file_) return true;
        return std::fclose(std::exchange(file_, nullptr)) == 0;
    }

private:
    std::FILE* file_ = nullptr;
};
