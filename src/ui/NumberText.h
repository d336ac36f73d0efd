#pragma once
// Conversion of stored decimal text to integers. Surrounding blanks and a fraction are
// accepted (the fraction rounds half to even); anything else, or a value out of range,
// fails so the caller keeps what it had.
#include <cstdint>
#include <optional>
#include <string_view>

namespace quenvor::ui {

std::optional<std::int32_t> toInt32(std::string_view text);
std::optional<std::int16_t> toInt16(std::string_view text);

}  // namespace quenvor::ui
