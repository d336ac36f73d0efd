#include "ui/NumberText.h"

#include <array>
#include <limits>

namespace quenvor::ui {
namespace {

std::optional<std::int64_t> parse(std::string_view s) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    if (s.empty()) return std::nullopt;
    bool negative = false;
    if (s.front() == '+' || s.front() == '-') {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    std::int64_t value = 0;
    std::size_t i = 0;
    bool digits = false;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
        digits = true;
        value = value * 10 + (s[i] - '0');
        if (value > (std::int64_t{1} << 40)) return std::nullopt;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        const std::size_t fracStart = i;
        bool aboveHalf = false, exactlyHalf = false;
        for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
            digits = true;
            if (i == fracStart) {
                aboveHalf = s[i] > '5';
                exactlyHalf = s[i] == '5';
            } else if (exactlyHalf && s[i] != '0') {
                aboveHalf = true;
                exactlyHalf = false;
            }
        }
        if (aboveHalf || (exactlyHalf && value % 2 == 1)) ++value;
    }
    if (!digits || i != s.size()) return std::nullopt;
    return negative ? -value : value;
}

template <class T>
std::optional<T> narrow(std::optional<std::int64_t> v) {
    if (!v || *v < std::numeric_limits<T>::min() || *v > std::numeric_limits<T>::max()) return std::nullopt;
    return static_cast<T>(*v);
}

}  // namespace

std::optional<std::int32_t> toInt32(std::string_view text) { return narrow<std::int32_t>(parse(text)); }
std::optional<std::int16_t> toInt16(std::string_view text) { return narrow<std::int16_t>(parse(text)); }

std::string groupedCount(std::uint64_t n, std::string_view group) {
    const std::string digits = std::to_string(n);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += group;
        out += digits[i];
    }
    return out;
}

std::string sizeText(std::uint64_t bytes, std::string_view group, std::string_view decimal) {
    if (bytes < 1024) return groupedCount(bytes, group) + " B";
    static constexpr std::array<const char*, 4> kUnits = {"KB", "MB", "GB", "TB"};
    std::uint64_t unit = 1024;
    std::size_t i = 0;
    while (i + 1 < kUnits.size() && bytes >= unit * 1024) {
        unit *= 1024;
        ++i;
    }
    // One decimal, rounded: enough to tell sizes apart without pretending to precision.
    const std::uint64_t tenths = (bytes * 10 + unit / 2) / unit;
    return groupedCount(tenths / 10, group) + std::string(decimal) + std::to_string(tenths % 10) + " " + kUnits[i];
}

}  // namespace quenvor::ui
