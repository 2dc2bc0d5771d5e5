#include "platform/storage_error.h"

#include <cerrno>

const char* storageFailure(int error, const char* otherwise) {
    switch (error) {
    case ENOSPC:
        return "no space left on the device";
    case EDQUOT:
        return "disk quota exceeded";
    case EROFS:
        return "read-only file system";
    case EACCES:
    case EPERM:
        return "permission denied";
    case EFBIG:
        return "file too large for the file system";
    default:
        return otherwise;
    }
}
