#pragma once
// What a descriptor or a stat result says of a file, in the terms the rest of the program uses.
#include <sys/stat.h>

#include <filesystem>

#include "platform/IFileService.h"
#include "platform/Result.h"

namespace quenvor::platform {

FileType typeOf(mode_t m);
FileStatus statusOf(const struct stat& st);
// fstat, and the mount the descriptor is on where the kernel tells it (statx).
Result<FileStatus> statusOfFd(int fd, const std::filesystem::path& p);

}  // namespace quenvor::platform
