#include "cleaning/RunAccount.h"

#include <array>

#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {

int RunAccount::areaText(common::CleanArea a) {
    switch (a) {
        case common::CleanArea::History:
            return text::AreaHistory;
        case common::CleanArea::Cache:
            return text::AreaInternetFiles;
        case common::CleanArea::FormData:
            return text::AreaFormData;
        case common::CleanArea::Cookies:
            return text::AreaCookies;
        case common::CleanArea::Temp:
            return text::AreaTemporaryFiles;
        case common::CleanArea::Recent:
            return text::AreaRecentDocuments;
        case common::CleanArea::TypedUrls:
            return text::AreaTypedAddresses;
        case common::CleanArea::SiteData:
            return text::AreaSiteData;
        case common::CleanArea::Thumbnails:
            return text::AreaThumbnails;
    }
    return text::AreaHistory;
}

std::string RunAccount::count(std::uint64_t n) {
    const std::string digits = std::to_string(n);
    const std::string group = m_strings.LoadLangString(text::NumberGroupSeparator);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += group;
        out += digits[i];
    }
    return out;
}

std::string RunAccount::size(std::uint64_t bytes) {
    if (bytes < 1024) return count(bytes) + " B";
    static constexpr std::array<const char*, 4> kUnits = {"KB", "MB", "GB", "TB"};
    std::uint64_t unit = 1024;
    std::size_t i = 0;
    while (i + 1 < kUnits.size() && bytes >= unit * 1024) {
        unit *= 1024;
        ++i;
    }
    // One decimal, rounded: enough to tell sizes apart without pretending to precision.
    const std::uint64_t tenths = (bytes * 10 + unit / 2) / unit;
    return count(tenths / 10) + m_strings.LoadLangString(text::NumberDecimalSeparator) + std::to_string(tenths % 10) +
           " " + kUnits[i];
}

std::string RunAccount::text(const common::CleanReport& report, bool bookmarksKept) {
    auto load = [&](int id) { return m_strings.LoadLangString(id); };
    // The order a user reads the options in, not the order the steps ran.
    static constexpr std::array<common::CleanArea, 9> kOrder = {
        common::CleanArea::History, common::CleanArea::TypedUrls, common::CleanArea::FormData,
        common::CleanArea::Cache,   common::CleanArea::Cookies,   common::CleanArea::SiteData,
        common::CleanArea::Temp,    common::CleanArea::Recent,    common::CleanArea::Thumbnails};
    std::string out;
    for (const auto area : kOrder) {
        const auto it = report.removedTally().find(area);
        if (it == report.removedTally().end() || it->second.items == 0) continue;
        std::string line = load(it->second.bytes ? text::AccountItemsAndSize : text::AccountItems);
        line = ui::replaceAll(line, "%3", size(it->second.bytes));
        line = ui::replaceAll(line, "%2", count(it->second.items));
        out += "\n" + ui::replaceAll(line, "%1", load(areaText(area)));
    }
    out = out.empty() ? load(text::AccountNothingFound) : load(text::AccountRemoved) + out;
    if (bookmarksKept) out += "\n" + load(text::AccountKeptBookmarks);
    const auto& sites = report.keptSites();
    if (sites.size() == 1)
        out += "\n" + ui::replaceAll(load(text::AccountKeptOneSite), "%1", *sites.begin());
    else if (sites.size() > 1)
        out += "\n" + ui::replaceAll(load(text::AccountKeptSites), "%1", count(sites.size()));
    return out;
}

}  // namespace quenvor::cleaning
