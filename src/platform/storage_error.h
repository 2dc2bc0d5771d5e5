#pragma once

// The reason for a failed create, write, flush or close that the user can act on by name:
// "no space left on the device" (ENOSPC), "disk quota exceeded" (EDQUOT), "read-only file
// system" (EROFS), "permission denied" (EACCES, EPERM); otherwise for any other error.
// Static texts, as ioException::reason wants.
const char* storageFailure(int error, const char* otherwise);
