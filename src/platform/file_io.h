#pragma once
#include <cstddef>
#include <cstdint>

#include "platform/stdio_file.h"
#include "platform/unique_fd.h"

// Opens an existing regular file for reading. The result is empty when the file cannot be
// opened or is not a regular file (a folder, a pipe or a device cannot be mapped whole).
UniqueFd openFileForReading(const char* path);

// openFileForReading as a binary C stream; empty on the same failures.
StdioFile openStreamForReading(const char* path);

// Creates or truncates a file for writing; empty when that fails or when path names a
// pipe, whose open or writes would block. Whole-file replacement (writeReplacing) is
// what refuses devices; here a device such as /dev/full stays usable.
UniqueFd createFileForWriting(const char* path);

// createFileForWriting as a binary C stream; empty on the same failures.
StdioFile createStreamForWriting(const char* path);

// The size in bytes of an open file, or -1 when it cannot be queried.
std::int64_t fileSize(int fd);

// Writes all bytes, resuming after partial writes and interruptions; false on failure.
bool writeAll(int fd, const void* data, std::size_t size);
