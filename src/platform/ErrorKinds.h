#pragma once
// The few kinds of failure callers act on, whichever system's codes an Error carries: the POSIX
// backend gives errno values, the Windows one the system's own error codes.
#include <cerrno>

#include "platform/Result.h"

namespace quenvor::platform {

// The thing, or a folder on the way to it, is not there (any more): nothing is left to clean.
inline bool isGone(const Error& e) {
#ifdef _WIN32
    // ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_DIRECTORY (a file where a folder was named)
    if (e.code == 2 || e.code == 3 || e.code == 267) return true;
#endif
    return e.code == ENOENT || e.code == ENOTDIR;
}

// A folder still holds something, which its own removal has already reported.
inline bool isNotEmpty(const Error& e) {
#ifdef _WIN32
    if (e.code == 145) return true;  // ERROR_DIR_NOT_EMPTY
#endif
    return e.code == ENOTEMPTY || e.code == EEXIST;
}

// Another program holds the file open in a way that forbids its removal: Windows' sharing and
// lock violations. POSIX systems never refuse a removal for that; there the caller asks the
// process table instead.
inline bool isInUse([[maybe_unused]] const Error& e) {
#ifdef _WIN32
    return e.code == 32 || e.code == 33;  // ERROR_SHARING_VIOLATION, ERROR_LOCK_VIOLATION
#else
    return false;
#endif
}

// No room left for what was being written: the filesystem, or the user's share of it, is full.
// Whatever comes next on the same disk would fail the same way.
inline bool isDiskFull(const Error& e) {
#ifdef _WIN32
    if (e.code == 112 || e.code == 39) return true;  // ERROR_DISK_FULL, ERROR_HANDLE_DISK_FULL
#endif
#ifdef EDQUOT
    if (e.code == EDQUOT) return true;
#endif
    return e.code == ENOSPC;
}

}  // namespace quenvor::platform
