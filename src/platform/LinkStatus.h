#pragma once
// Whether a name is itself a link (a symbolic link, or on Windows any reparse point such as a
// junction), asked of the name and never of what it leads to. The standard library cannot tell
// on Windows: there its link status is the target's status.
#include <filesystem>

namespace quenvor::platform {

bool isLink(const std::filesystem::path& p);

}  // namespace quenvor::platform
