#pragma once
#include <cstdint>

// A file modification time, or the current time, in nanoseconds since the epoch.
// Whole seconds would miss a paint program that saves within the second the view file
// was written.
using FileTime = std::int64_t;

// 0 when the file's status cannot be read.
FileTime modificationTime(const char* path);
FileTime currentTime();
