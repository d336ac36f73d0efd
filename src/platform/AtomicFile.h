#pragma once
#include <filesystem>
#include <string_view>

#include "platform/Result.h"

namespace quenvor::platform {

// Replaces a file so that a crash leaves either the old or the new contents, never a mix:
// write a temporary file beside it, flush it, rename it over the old one, flush the folder.
class AtomicFile {
public:
    // Unflushed still replaces the file whole if the program dies at any point, and costs a
    // fraction of a flushed write; only a power cut may leave the old contents (never a mix).
    enum class Flush { ToDevice, No };
    static Status write(const std::filesystem::path& file, std::string_view contents, Flush flush = Flush::ToDevice);
};

}  // namespace quenvor::platform
