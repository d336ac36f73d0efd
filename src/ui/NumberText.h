#pragma once
// Conversion of stored decimal text to integers. Surrounding blanks and a fraction are
// accepted (the fraction rounds half to even); anything else, or a value out of range,
// fails so the caller keeps what it had.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quenvor::ui {

std::optional<std::int32_t> toInt32(std::string_view text);
std::optional<std::int16_t> toInt16(std::string_view text);

// A count with its thousands grouped by `group` (the language's separator).
std::string groupedCount(std::uint64_t n, std::string_view group);
// A size in B, KB, MB, GB or TB (1024 steps) with one rounded decimal after `decimal`.
std::string sizeText(std::uint64_t bytes, std::string_view group, std::string_view decimal);

}  // namespace quenvor::ui
