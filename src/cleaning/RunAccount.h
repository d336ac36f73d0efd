#pragma once
// The account a cleaning run ends with: what went, area by area, with counts and sizes, and
// what stayed on purpose, in the language in force.
#include <cstdint>
#include <string>

#include "cleaning/common/CleanReport.h"

namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cleaning {

class RunAccount {
public:
    explicit RunAccount(ui::StringTable& strings) : m_strings(strings) {}

    // `bookmarksKept`: the run touched stores that hold bookmarks and saved passwords beside
    // what it removed, so their staying is worth saying.
    std::string text(const common::CleanReport& report, bool bookmarksKept);
    // 80020 as "80,020" (or "80.020"), 1288490188 bytes as "1.2 GB" (or "1,2 GB").
    std::string count(std::uint64_t n);
    std::string size(std::uint64_t bytes);
    static int areaText(common::CleanArea area);

private:
    ui::StringTable& m_strings;
};

}  // namespace quenvor::cleaning
