#pragma once
// Our text is UTF-8 everywhere; a path is the system's own string (UTF-16 on Windows). These
// two are the only crossings between them. path(std::string) and path::string() are not: on
// Windows they use the ANSI code page, so a name outside it ("é" in most, any Cyrillic or CJK
// name in a Western one) comes back as other characters.
#include <filesystem>
#include <string>
#include <string_view>

namespace quenvor::platform {

std::filesystem::path pathFromUtf8(std::string_view utf8);
std::string utf8Of(const std::filesystem::path& p);
// A path as the user is shown it: with the system's own separator only ("C:\a\b", never
// "C:\a/b"). Where '/' is the separator the text stays byte for byte as it is. For messages
// only: what is opened keeps the path it was given.
std::string shownPath(std::string_view utf8);

}  // namespace quenvor::platform
