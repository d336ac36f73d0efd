#pragma once
// What a cleaning run could not do, and why. A service that this system does not have and a
// deliberate safety skip (a temporary file still in use) are not failures.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace quenvor::cleaning::common {

enum class CleanArea { History, Cache, FormData, Cookies, Temp, Recent, TypedUrls, SiteData, Thumbnails };

struct CleanFailure {
    CleanArea area;
    std::string what;    // the file, key or profile concerned
    std::string reason;  // the system's words
    bool browserRunning = false;
    std::string browser;  // the running browser, when it is not Firefox
};

class CleanReport {
public:
    void fail(CleanArea area, std::string what, std::string reason, bool browserRunning = false,
              std::string browser = {}) {
        m_failures.push_back({area, std::move(what), std::move(reason), browserRunning, std::move(browser)});
    }
    // A failure worded whole by the run (a damaged store): a line of its own, before the others.
    void failWhole(std::string message) { m_whole.push_back(std::move(message)); }
    const std::vector<CleanFailure>& failures() const { return m_failures; }
    const std::vector<std::string>& wholeFailures() const { return m_whole; }
    bool clean() const { return m_failures.empty() && m_whole.empty(); }

    // What went, for the account a run ends with: items (files, rows, entries) and the bytes
    // they held where that is known.
    struct Tally {
        std::uint64_t items = 0;
        std::uint64_t bytes = 0;
    };
    void removed(CleanArea area, std::uint64_t items, std::uint64_t bytes = 0) {
        auto& t = m_removed[area];
        t.items += items;
        t.bytes += bytes;
    }
    const std::map<CleanArea, Tally>& removedTally() const { return m_removed; }
    // A kept site (its keep-list entry) that had cookies or site data which stayed.
    void keptSite(const std::string& entry) { m_keptSites.insert(entry); }
    const std::set<std::string>& keptSites() const { return m_keptSites; }

    void clear() {
        m_failures.clear();
        m_whole.clear();
        m_removed.clear();
        m_keptSites.clear();
    }

private:
    std::vector<CleanFailure> m_failures;
    std::vector<std::string> m_whole;
    std::map<CleanArea, Tally> m_removed;
    std::set<std::string> m_keptSites;
};

}  // namespace quenvor::cleaning::common
