#include "cleaning/firefox/FirefoxSiteFiles.h"

#include "cleaning/formats/SqliteCleaner.h"
#include "cleaning/formats/SqliteReader.h"
#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::firefox {

using common::CleanArea;

namespace {

constexpr const char* kBounceStore = "bounce-tracking-protection.sqlite";

}  // namespace

FirefoxSiteFiles::Found FirefoxSiteFiles::find(const FirefoxProfile& p, CleanArea area) {
    Found found;
    found.area = area;
    std::vector<const char*> names;
    if (area == CleanArea::Cache) names = {"AlternateServices.txt", "AlternateServices.bin"};
    if (area == CleanArea::SiteData) names = {"SiteSecurityServiceState.txt", "SiteSecurityServiceState.bin"};
    for (const char* name : names) {
        auto st = m_files.status(p.folder / name);
        if (!st) {
            if (!platform::isGone(st.error()))
                found.unreadable.emplace_back(platform::utf8Of(p.folder / name), st.error().message);
            continue;
        }
        // A link in the file's place goes as a link: what it leads to is not Firefox's to lose.
        if (st->type == platform::FileType::Regular || st->type == platform::FileType::Symlink)
            found.files.emplace_back(p.folder / name, st->type == platform::FileType::Regular ? st->size : 0);
    }
    if (area == CleanArea::History) {
        auto sites =
            formats::SqliteReader::column(p.folder / kBounceStore, "sites", "SELECT DISTINCT siteHost FROM sites");
        if (sites)
            found.bounceSites = *sites;
        else
            found.unreadable.emplace_back(platform::utf8Of(p.folder / kBounceStore), sites.error().message);
    }
    return found;
}

void FirefoxSiteFiles::remove(const FirefoxProfile& p, const Found& found, common::CleanReport& report) {
    for (const auto& [what, why] : found.unreadable) report.fail(found.area, what, why);
    for (const auto& [file, bytes] : found.files) {
        if (auto r = m_files.remove(file); !r) {
            if (!platform::isGone(r.error())) report.fail(found.area, platform::utf8Of(file), r.error().message);
        } else {
            report.removed(found.area, 1, bytes);
        }
    }
    if (found.bounceSites.empty()) return;
    std::vector<std::vector<std::string>> rows;
    for (const auto& site : found.bounceSites) rows.push_back({site});
    if (auto s = formats::SqliteCleaner::run(p.folder / kBounceStore,
                                             {{"DELETE FROM sites WHERE siteHost = ?", {"sites"}, rows}});
        !s)
        report.fail(found.area, platform::utf8Of(p.folder / kBounceStore), s.error().message);
    else
        report.removed(found.area, found.bounceSites.size());
}

}  // namespace quenvor::cleaning::firefox
