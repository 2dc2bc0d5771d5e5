#pragma once
#include <cstdio>
#include <utility>

// Owns one C stream; closes it quietly when destroyed.
class UniqueFile {
public:
    UniqueFile() = default;
    explicit UniqueFile(std::FILE* file) : file_(file) {}
    ~UniqueFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    UniqueFile(UniqueFile&& other) noexcept : file_(std::exchange(other.file_, nullptr)) {}
    UniqueFile& operator=(UniqueFile&& other) noexcept {
        if (this != &other) {
            if (file_ != nullptr) std::fclose(file_);
            file_ = std::exchange(other.file_, nullptr);
        }
        return *this;
    }
    UniqueFile(const UniqueFile&) = delete;
    UniqueFile& operator=(const UniqueFile&) = delete;

    std::FILE* get() const { return file_; }
    explicit operator bool() const { return file_ != nullptr; }

    // Closes now and tells whether everything buffered reached the file.
    bool close() {
        if (file_ == nullptr) return true;
        return std::fclose(std::exchange(file_, nullptr)) == 0;
    }

private:
    std::FILE* file_ = nullptr;
};
