#include "cleaning/RunAccount.h"

#include <array>

#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/NumberText.h"
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
    return ui::groupedCount(n, m_strings.LoadLangString(text::NumberGroupSeparator));
}

std::string RunAccount::size(std::uint64_t bytes) {
    return ui::sizeText(bytes, m_strings.LoadLangString(text::NumberGroupSeparator),
                        m_strings.LoadLangString(text::NumberDecimalSeparator));
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
