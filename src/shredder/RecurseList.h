#pragma once
// The walker's result, read like a 1-based array: the entries, then the end mark of three
// empty entries. Its upper bound is a million, or the number of entries plus three where a
// walk finds more; every index past the entries reads as empty.
#include <cstdint>
#include <string>
#include <vector>

namespace quenvor::shredder {

class RecurseList {
public:
    static constexpr std::int64_t kMinimumUpperBound = 1'000'000;

    RecurseList() = default;
    explicit RecurseList(std::vector<std::string> entries) : m_entries(std::move(entries)) {}

    std::int64_t upperBound() const {
        const auto n = static_cast<std::int64_t>(m_entries.size()) + 3;
        return n > kMinimumUpperBound ? n : kMinimumUpperBound;
    }
    const std::string& operator[](std::int64_t index) const {
        static const std::string empty;
        if (index < 1 || index > static_cast<std::int64_t>(m_entries.size())) return empty;
        return m_entries[static_cast<std::size_t>(index - 1)];
    }
    std::int64_t size() const { return static_cast<std::int64_t>(m_entries.size()); }
    const std::vector<std::string>& entries() const { return m_entries; }

private:
    std::vector<std::string> m_entries;
};

}  // namespace quenvor::shredder
