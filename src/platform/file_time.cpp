#include "platform/file_time.h"

#include <sys/stat.h>

#include <ctime>

FileTime modificationTime(const char* path) {
    struct stat info;
    if (path == nullptr || ::stat(path, &info) != 0) return 0;
    return static_cast<FileTime>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
}

FileTime currentTime() {
    timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<FileTime>(now.tv_sec) * 1000000000 + now.tv_nsec;
}
