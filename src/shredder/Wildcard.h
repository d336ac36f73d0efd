#pragma once
#include <string_view>

namespace quenvor::shredder {

// A file-name pattern with the Windows meaning: "*" any run of characters, "?" one
// character, letters compared without case; "*.*" and "*" match every name.
bool WildcardMatch(std::string_view pattern, std::string_view name);

}  // namespace quenvor::shredder
