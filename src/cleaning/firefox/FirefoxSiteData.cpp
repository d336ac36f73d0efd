#include "cleaning/firefox/FirefoxSiteData.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>

#include "cleaning/formats/JsonValue.h"
#include "cleaning/formats/JsonWriter.h"
#include "cleaning/formats/SqliteCleaner.h"
#include "cleaning/formats/SqliteReader.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::firefox {

using common::CleanArea;
using platform::FileType;
namespace fs = std::filesystem;

namespace {

// Deep enough for any site's storage; a deeper tree is not walked into but reported.
constexpr int kMaxDepth = 32;
constexpr const char* kRepositories[] = {"default", "temporary", "permanent"};

bool webScheme(std::string_view scheme) {
    return scheme == "http" || scheme == "https" || scheme == "ws" || scheme == "wss";
}

// "https://example.com:8443^userContextId=1" without its attributes, or empty when no web site's.
std::string webOrigin(const std::string& origin) {
    const auto scheme = origin.find("://");
    if (scheme == std::string::npos || !webScheme(std::string_view(origin).substr(0, scheme))) return {};
    return origin.substr(0, origin.find('^'));
}

void addUnique(std::vector<std::string>& to, const std::string& value) {
    if (std::find(to.begin(), to.end(), value) == to.end()) to.push_back(value);
}

std::vector<std::vector<std::string>> rowsOf(const std::vector<std::string>& values) {
    std::vector<std::vector<std::string>> rows;
    rows.reserve(values.size());
    for (const auto& v : values) rows.push_back({v});
    return rows;
}

constexpr const char* kCertOverrides = "cert_override.txt";
// One member per origin, each an object of that origin's notifications by their id.
constexpr const char* kNotifications = "notificationstore.json";

// The host a line of cert_override.txt is for ("example.com:443:<attributes>\t<hash>\t..."),
// empty for a comment.
std::string certHost(const std::string& line) {
    if (line.empty() || line.front() == '#') return {};
    const std::string key = line.substr(0, line.find('\t'));
    if (key.empty()) return {};
    if (key.front() == '[') return common::KeepList::hostOf(key.substr(0, key.find(']') + 1));
    return common::KeepList::hostOf(key.substr(0, key.find(':')));
}

// The lines of a text file that is no link; nothing when there is no such file.
platform::Result<std::vector<std::string>> linesOf(platform::IFileService& files, const fs::path& file) {
    auto st = files.status(file);
    if (!st)
        return platform::isGone(st.error()) ? platform::Result<std::vector<std::string>>(std::vector<std::string>{})
                                            : platform::Result<std::vector<std::string>>(st.error());
    if (st->type == FileType::NotFound) return std::vector<std::string>{};
    if (st->type != FileType::Regular) return platform::Error{ELOOP, "not a plain file, not followed"};
    std::ifstream in(file, std::ios::binary);
    if (!in) return platform::Error{EIO, "cannot be read"};
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The notification store as one JSON object; nothing when there is no such file. A link, or a
// file that is no JSON object, is left as it is.
platform::Result<std::optional<formats::JsonValue>> notificationStore(platform::IFileService& files,
                                                                      const fs::path& file) {
    using Doc = std::optional<formats::JsonValue>;
    auto st = files.status(file);
    if (!st) return platform::isGone(st.error()) ? platform::Result<Doc>(Doc{}) : platform::Result<Doc>(st.error());
    if (st->type == FileType::NotFound) return Doc{};
    if (st->type != FileType::Regular) return platform::Error{ELOOP, "not a plain file, not followed"};
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return platform::Error{EIO, "cannot be read"};
    auto doc = formats::JsonValue::parse(text);
    if (!doc || doc->kind() != formats::JsonValue::Kind::Object)
        return platform::Error{EINVAL, "not well-formed, left as it was"};
    return Doc(std::move(*doc));
}

}  // namespace

std::string FirefoxSiteData::folderHost(const std::string& name) {
    const std::string origin = name.substr(0, name.find('^'));
    const auto sep = origin.find("+++");
    if (sep == std::string::npos || !webScheme(std::string_view(origin).substr(0, sep))) return {};
    std::string rest = origin.substr(sep + 3);
    if (!rest.empty() && rest.front() == '[') {  // an IPv6 address, its colons spelt "+"
        rest = rest.substr(0, rest.find(']') == std::string::npos ? rest.size() : rest.find(']') + 1);
        std::replace(rest.begin(), rest.end(), '+', ':');
        return common::KeepList::hostOf(rest);
    }
    return common::KeepList::hostOf(rest.substr(0, rest.find('+')));
}

std::string FirefoxSiteData::originKeyHost(const std::string& key) {
    const auto colon = key.find(':');
    if (colon == std::string::npos) return {};
    const auto schemeEnd = key.find(':', colon + 1);
    if (!webScheme(std::string_view(key).substr(
            colon + 1, schemeEnd == std::string::npos ? std::string::npos : schemeEnd - colon - 1)))
        return {};
    std::string host = key.substr(0, colon);
    std::reverse(host.begin(), host.end());
    return common::KeepList::hostOf(host);
}

std::set<std::string> FirefoxSiteData::Found::sites() const {
    std::set<std::string> out;
    for (const auto& h : cookieHosts) out.insert(common::KeepList::hostOf(h));
    for (const auto& f : folders) out.insert(folderHost(platform::utf8Of(f.filename())));
    for (const auto& o : indexOrigins) out.insert(common::KeepList::hostOf(o));
    for (const auto& k : localStorageKeys) out.insert(originKeyHost(k));
    for (const auto& o : permissionOrigins) out.insert(common::KeepList::hostOf(webOrigin(o)));
    for (const auto& h : permissionHosts) out.insert(common::KeepList::hostOf(h));
    for (const auto& g : prefGroups) out.insert(common::KeepList::hostOf(g));
    for (const auto& l : certOverrides) out.insert(certHost(l));
    for (const auto& o : notificationOrigins) out.insert(common::KeepList::hostOf(webOrigin(o)));
    out.erase("");
    return out;
}

bool FirefoxSiteData::kept(const std::string& hostOrOrigin, Found& found) const {
    const std::string* entry = m_keep.entryKeeping(hostOrOrigin);
    if (entry) found.keptBy.insert(*entry);
    return entry != nullptr;
}

void FirefoxSiteData::measure(const fs::path& dir, Found& found, int depth) {
    auto listing = m_files.list(dir);
    if (!listing || depth > kMaxDepth) return;
    for (const auto& e : *listing) {
        if (e.type == FileType::Directory) {
            measure(dir / e.name, found, depth + 1);
        } else if (auto st = m_files.status(dir / e.name); st && st->type == FileType::Regular) {
            found.folderBytes += st->size;
        }
    }
}

FirefoxSiteData::Found FirefoxSiteData::find(const FirefoxProfile& p) {
    Found found;
    auto read = [&](const char* store, const char* table, const std::string& select) {
        auto r = formats::SqliteReader::column(p.folder / store, table, select);
        if (!r) {
            found.unreadable.emplace_back(platform::utf8Of(p.folder / store), r.error().message);
            return std::vector<std::string>{};
        }
        return *r;
    };

    // Cookies: decided here from each row's host, a domain cookie's leading dot ignored.
    for (const auto& host : read("cookies.sqlite", "moz_cookies", "SELECT host FROM moz_cookies")) {
        if (kept(host, found)) continue;
        ++found.cookies;
        addUnique(found.cookieHosts, host);
    }

    const fs::path storage = p.folder / "storage";
    for (const char* repository : kRepositories) {
        auto listing = m_files.list(storage / repository);
        if (!listing) {
            if (!platform::isGone(listing.error()))
                found.unreadable.emplace_back(platform::utf8Of(storage / repository), listing.error().message);
            continue;
        }
        for (const auto& e : *listing) {
            const std::string host = folderHost(e.name);
            // A link in a site's place is the site's too: it goes as a link, never followed.
            if (host.empty() || (e.type != FileType::Directory && e.type != FileType::Symlink) || kept(host, found))
                continue;
            found.folders.push_back(storage / repository / e.name);
            if (e.type == FileType::Directory) measure(storage / repository / e.name, found, 0);
        }
    }
    // What Firefox set aside to delete later still holds the sites' data until it does.
    if (auto listing = m_files.list(storage / "to-be-removed")) {
        for (const auto& e : *listing) {
            found.folders.push_back(storage / "to-be-removed" / e.name);
            if (e.type == FileType::Directory) measure(storage / "to-be-removed" / e.name, found, 0);
        }
    }

    for (const auto& origin : read("storage.sqlite", "origin", "SELECT DISTINCT origin FROM origin"))
        if (!webOrigin(origin).empty() && !kept(origin, found)) addUnique(found.indexOrigins, origin);
    for (const char* store : {"webappsstore.sqlite", "storage/ls-archive.sqlite"})
        for (const auto& key : read(store, "webappsstore2", "SELECT DISTINCT originKey FROM webappsstore2")) {
            const std::string host = originKeyHost(key);
            if (!host.empty() && !kept(host, found)) addUnique(found.localStorageKeys, key);
        }
    for (const char* table : {"moz_perms", "moz_origin_interactions"})
        for (const auto& origin :
             read("permissions.sqlite", table, std::string("SELECT DISTINCT origin FROM ") + table))
            if (const auto web = webOrigin(origin); !web.empty() && !kept(web, found))
                addUnique(found.permissionOrigins, origin);
    for (const auto& host : read("permissions.sqlite", "moz_hosts", "SELECT DISTINCT host FROM moz_hosts"))
        if (!host.empty() && !kept(host, found)) addUnique(found.permissionHosts, host);
    for (const auto& group : read("content-prefs.sqlite", "groups", "SELECT DISTINCT name FROM groups"))
        if (!group.empty() && !kept(group, found)) addUnique(found.prefGroups, group);
    if (auto lines = linesOf(m_files, p.folder / kCertOverrides); !lines) {
        found.unreadable.emplace_back(platform::utf8Of(p.folder / kCertOverrides), lines.error().message);
    } else {
        for (const auto& line : *lines)
            if (const auto host = certHost(line); !host.empty() && !kept(host, found))
                addUnique(found.certOverrides, line);
    }
    if (auto doc = notificationStore(m_files, p.folder / kNotifications); !doc) {
        found.unreadable.emplace_back(platform::utf8Of(p.folder / kNotifications), doc.error().message);
    } else if (*doc) {
        for (const auto& [origin, records] : (*doc)->members())
            if (const auto web = webOrigin(origin); !web.empty() && !kept(web, found)) {
                addUnique(found.notificationOrigins, origin);
                found.notifications += records.members().size();
            }
    }
    return found;
}

void FirefoxSiteData::removeTree(const fs::path& dir, common::CleanReport& report, int depth) {
    if (depth > kMaxDepth) {
        report.fail(CleanArea::SiteData, platform::utf8Of(dir), "nested too deep");
        return;
    }
    auto listing = m_files.list(dir);
    if (!listing) {
        if (!platform::isGone(listing.error()))
            report.fail(CleanArea::SiteData, platform::utf8Of(dir), listing.error().message);
        return;
    }
    for (const auto& e : *listing) {
        const auto path = dir / e.name;
        if (e.type == FileType::Directory) removeTree(path, report, depth + 1);
        if (auto r = m_files.remove(path); !r && !platform::isGone(r.error()))
            report.fail(CleanArea::SiteData, platform::utf8Of(path), r.error().message);
    }
}

void FirefoxSiteData::remove(const FirefoxProfile& p, const Found& found, common::CleanReport& report) {
    for (const auto& [what, why] : found.unreadable) report.fail(CleanArea::SiteData, what, why);
    auto run = [&](CleanArea area, const char* store, const std::vector<formats::SqliteCleaner::Statement>& sql) {
        if (auto s = formats::SqliteCleaner::run(p.folder / store, sql); !s) {
            report.fail(area, platform::utf8Of(p.folder / store), s.error().message);
            return false;
        }
        return true;
    };
    if (!found.cookieHosts.empty() &&
        run(CleanArea::Cookies, "cookies.sqlite",
            // The hosts go in a table of the connection's own, so that one pass over the cookies
            // finds them all: the cookie table has no index by host.
            {{"CREATE TEMP TABLE gone (host TEXT PRIMARY KEY)", {"moz_cookies"}},
             {"INSERT OR IGNORE INTO temp.gone VALUES (?)", {"moz_cookies"}, rowsOf(found.cookieHosts)},
             {"DELETE FROM moz_cookies WHERE host IN (SELECT host FROM temp.gone)", {"moz_cookies"}}}))
        report.removed(CleanArea::Cookies, found.cookies);

    for (const auto& folder : found.folders) {
        auto st = m_files.status(folder);
        if (st && st->type == FileType::Directory) removeTree(folder, report, 0);
        if (auto r = m_files.remove(folder); !r && !platform::isGone(r.error()))
            report.fail(CleanArea::SiteData, platform::utf8Of(folder), r.error().message);
    }
    std::uint64_t rows = 0;
    if (!found.indexOrigins.empty() &&
        run(CleanArea::SiteData, "storage.sqlite",
            {{"DELETE FROM origin WHERE origin = ?", {"origin"}, rowsOf(found.indexOrigins)}}))
        rows += found.indexOrigins.size();
    if (!found.localStorageKeys.empty())
        for (const char* store : {"webappsstore.sqlite", "storage/ls-archive.sqlite"})
            (void)run(
                CleanArea::SiteData, store,
                {{"DELETE FROM webappsstore2 WHERE originKey = ?", {"webappsstore2"}, rowsOf(found.localStorageKeys)}});
    rows += found.localStorageKeys.size();
    if ((!found.permissionOrigins.empty() || !found.permissionHosts.empty()) &&
        run(CleanArea::SiteData, "permissions.sqlite",
            {{"DELETE FROM moz_perms WHERE origin = ?", {"moz_perms"}, rowsOf(found.permissionOrigins)},
             {"DELETE FROM moz_origin_interactions WHERE origin = ?",
              {"moz_origin_interactions"},
              rowsOf(found.permissionOrigins)},
             {"DELETE FROM moz_hosts WHERE host = ?", {"moz_hosts"}, rowsOf(found.permissionHosts)}}))
        rows += found.permissionOrigins.size() + found.permissionHosts.size();
    if (!found.prefGroups.empty() && run(CleanArea::SiteData, "content-prefs.sqlite",
                                         {{"DELETE FROM prefs WHERE groupID IN (SELECT id FROM groups WHERE name = ?)",
                                           {"prefs", "groups"},
                                           rowsOf(found.prefGroups)},
                                          {"DELETE FROM groups WHERE name = ?", {"groups"}, rowsOf(found.prefGroups)}}))
        rows += found.prefGroups.size();
    if (!found.certOverrides.empty()) {
        // Rewritten whole or not at all, without the lines found and with every other as it was.
        const fs::path file = p.folder / kCertOverrides;
        auto lines = linesOf(m_files, file);
        std::string text;
        std::size_t dropped = 0;
        for (const auto& line : lines ? *lines : std::vector<std::string>{}) {
            if (std::find(found.certOverrides.begin(), found.certOverrides.end(), line) != found.certOverrides.end())
                ++dropped;
            else
                text += line + "\n";
        }
        platform::Status s = lines ? platform::Status() : platform::Status(lines.error());
        if (s && dropped > 0) s = platform::AtomicFile::write(file, text);
        if (!s)
            report.fail(CleanArea::SiteData, platform::utf8Of(file), s.error().message);
        else
            rows += dropped;
    }
    if (!found.notificationOrigins.empty()) {
        // Read again and written whole: the other origins' members as they are now, not as
        // they were when found.
        const fs::path file = p.folder / kNotifications;
        auto doc = notificationStore(m_files, file);
        std::set<formats::JsonWriter::Path> omit;
        std::uint64_t dropped = 0;
        if (doc && *doc)
            for (const auto& [origin, records] : (*doc)->members())
                if (std::find(found.notificationOrigins.begin(), found.notificationOrigins.end(), origin) !=
                    found.notificationOrigins.end()) {
                    omit.insert({origin});
                    dropped += records.members().size();
                }
        platform::Status s = doc ? platform::Status() : platform::Status(doc.error());
        if (s && !omit.empty()) s = platform::AtomicFile::write(file, formats::JsonWriter::write(**doc, omit));
        if (!s)
            report.fail(CleanArea::SiteData, platform::utf8Of(file), s.error().message);
        else
            rows += dropped;
    }
    if (!found.folders.empty() || rows > 0)
        report.removed(CleanArea::SiteData, found.folders.size() + rows, found.folderBytes);
    for (const auto& entry : found.keptBy) report.keptSite(entry);
}

}  // namespace quenvor::cleaning::firefox
