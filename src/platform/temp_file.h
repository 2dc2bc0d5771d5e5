#pragma once
#include <string>
#include <utility>

// Creates a new, empty file "T_DC<unique>.bmp" in $TMP, else $TMPDIR, else /tmp, and
// returns its path; empty when no file could be made.
std::string makeTempViewPath();

// Removes the file when destroyed (unless released): a temporary file never outlives
// the work it was made for, also when that work throws.
class TempFileGuard {
public:
    explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
    ~TempFileGuard();
    TempFileGuard(const TempFileGuard&) = delete;
    TempFileGuard& operator=(const TempFileGuard&) = delete;
    const std::string& path() const { return path_; }
    std::string release() { return std::exchange(path_, {}); }

private:
    std::string path_;
};
