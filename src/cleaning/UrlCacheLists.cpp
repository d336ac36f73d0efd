#include "cleaning/UrlCacheLists.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/Cache.h"
#include "cleaning/CompositeUrlCache.h"
#include "cleaning/common/CleanReport.h"
#include "cleaning/common/KeepList.h"
#include "cleaning/common/PlanSink.h"
#include "platform/ErrorKinds.h"
#include "platform/IUrlCache.h"
#include "platform/MemoryBlock.h"
#include "ui/Guarded.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"

namespace quenvor::cleaning {
namespace {

// One entry laid out as a record in a block of memory: its type, the offset of its name, then
// the name with a terminator. What the cookie list reads back through the block.
struct RecordHeader {
    std::uint32_t type;
    std::uint32_t nameOffset;
};

constexpr std::size_t kBlockSize = 4096;

std::size_t recordSize(const platform::UrlCacheEntry& e) { return sizeof(RecordHeader) + e.sourceUrlName.size() + 1; }

void fill(platform::MemoryBlock& block, const platform::UrlCacheEntry& e) {
    RecordHeader h{e.cacheEntryType, sizeof(RecordHeader)};
    std::memcpy(block.data(), &h, sizeof h);
    std::memcpy(block.data() + sizeof h, e.sourceUrlName.c_str(), e.sourceUrlName.size() + 1);
}

bool isCookie(const std::string& name) { return name.compare(0, 6, "Cookie") == 0; }

// WinINet marks its cookies and history records as normal entries too: they are no page, and
// go only with their own options.
bool isPage(std::uint32_t type) {
    return (type & platform::kNormalCacheEntry) &&
           !(type & (platform::kCookieCacheEntry | platform::kUrlHistoryCacheEntry));
}

void addIfCookie(std::vector<std::string>& rows, platform::MemoryBlock& block) {
    RecordHeader h{};
    if (!block.ReadFrom(&h, sizeof h) || h.nameOffset == 0) return;
    std::string name = block.ExtractString(block.Handle() + h.nameOffset, block.Size());
    if (isCookie(name)) rows.push_back(std::move(name));
}

}  // namespace

// The rows go to the list in one call, the window then shapes only those in view; what was
// read before a walk broke off is still shown.
void UrlCacheLists::ListVisitedSites() {
    ui::guarded([&] { m_view.clearList("LstB2"); });
    ui::guarded([&] { m_ui.setMousePointer(ui::MousePointer::Hourglass); });
    std::vector<std::string> rows;
    ui::guarded([&] {
        Cache cache(m_cache);
        // Every entry, the first included, is listed only when it is a page of the normal type.
        bool more = cache.GetFirstCacheEntry();
        while (more) {
            if (isPage(cache.GetCacheEntryType())) rows.push_back(cache.TakeCacheEntryUrl());
            more = cache.GetNextCacheEntry();
        }
        cache.CloseCacheEnum();
    });
    ui::guarded([&] { m_view.setListItems("LstB2", rows); });
    ui::guarded([&] { m_ui.setMousePointer(ui::MousePointer::Default); });
}

void UrlCacheLists::ListCookies() {
    // Added below what the list already holds.
    std::vector<std::string> rows;
    ui::guarded([&] { rows = m_view.listItems("LstB3"); });
    const std::size_t before = rows.size();
    ui::guarded([&] {
        platform::UrlCacheFind find = 0;
        auto entry = m_cache.findFirst(find);
        platform::MemoryBlock block;
        while (entry) {
            // A pinned block costs several system calls to map and give back: one is kept while
            // the records fit in it, so a long list is not paid for per line.
            if (block.Size() < recordSize(*entry)) block.Allocate(std::max(recordSize(*entry), kBlockSize));
            if (block.Handle()) {
                fill(block, *entry);
                addIfCookie(rows, block);
            }
            entry = find ? m_cache.findNext(find) : std::nullopt;
        }
        if (find) m_cache.findClose(find);
    });
    if (rows.size() != before) ui::guarded([&] { m_view.setListItems("LstB3", rows); });
}

void UrlCacheLists::ListPagesAndCookies() {
    ui::guarded([&] { m_view.clearList("LstB2"); });
    ui::guarded([&] { m_ui.setMousePointer(ui::MousePointer::Hourglass); });
    std::vector<std::string> pages, cookies;
    ui::guarded([&] { cookies = m_view.listItems("LstB3"); });
    const std::size_t before = cookies.size();
    bool walked = false;
    ui::guarded([&] {
        Cache cache(m_cache);
        bool more = cache.GetFirstCacheEntry();
        while (more) {
            const bool page = isPage(cache.GetCacheEntryType());
            if (isCookie(cache.GetCacheEntryUrl()))
                cookies.push_back(page ? cache.GetCacheEntryUrl() : cache.TakeCacheEntryUrl());
            if (page) pages.push_back(cache.TakeCacheEntryUrl());
            more = cache.GetNextCacheEntry();
        }
        cache.CloseCacheEnum();
        walked = true;
    });
    ui::guarded([&] { m_view.setListItems("LstB2", pages); });
    if (walked && cookies.size() != before) ui::guarded([&] { m_view.setListItems("LstB3", cookies); });
    ui::guarded([&] { m_ui.setMousePointer(ui::MousePointer::Default); });
    if (!walked) ListCookies();
}

void UrlCacheLists::ClearUrlCache(common::CleanReport* report, common::PlanSink* sink) {
    clear(report, sink, common::CleanArea::Cache, [](const std::string&, std::uint32_t type) { return isPage(type); });
}

void UrlCacheLists::ClearCookies(common::CleanReport* report, common::PlanSink* sink, const common::KeepList* keep) {
    // "Cookie:user@host/path": a kept site's cookie stays in every store.
    clear(report, sink, common::CleanArea::Cookies,
          [keep](const std::string& name, std::uint32_t) { return isCookie(name) && !(keep && keep->keeps(name)); });
}

void UrlCacheLists::clear(common::CleanReport* report, common::PlanSink* sink, common::CleanArea area,
                          const common::BrowserUrlCache::Pick& pick) {
    ui::guarded([&] { m_ui.setMousePointer(ui::MousePointer::Hourglass); });
    // Without a plan each step acts at once.
    common::PlanSink atOnce;
    common::PlanSink& to = sink ? *sink : atOnce;
    // A browser's cache goes folder by folder from the listing it holds, counted in that
    // browser's group; any other (the system's own) by the names a walk of it finds, counted
    // in the system's. A cache that cannot be walked leaves its entries behind: the caller
    // hears of it, once the pointer is back, and the other caches still go.
    std::vector<platform::IUrlCache*> parts{&m_cache};
    if (const auto* joined = dynamic_cast<const CompositeUrlCache*>(&m_cache)) parts = joined->parts();
    std::exception_ptr failed;
    for (auto* part : parts) {
        try {
            if (auto* browser = dynamic_cast<common::BrowserUrlCache*>(part)) {
                browser->planRemoval(to, report, area, pick);
            } else {
                to.setSource({}, {});
                clearByName(*part, report, to, area, pick);
            }
        } catch (...) {
            if (!failed) failed = std::current_exception();
        }
    }
    ui::guarded([&] { m_ui.setMousePointer(ui::MousePointer::Default); });
    if (failed) std::rethrow_exception(failed);
}

void UrlCacheLists::clearByName(platform::IUrlCache& part, common::CleanReport* report, common::PlanSink& sink,
                                common::CleanArea area, const common::BrowserUrlCache::Pick& pick) {
    std::vector<std::string> names;
    Cache cache(part);
    bool more = cache.GetFirstCacheEntry();
    while (more) {
        if (pick(cache.GetCacheEntryUrl(), cache.GetCacheEntryType())) names.push_back(cache.GetCacheEntryUrl());
        more = cache.GetNextCacheEntry();
    }
    cache.CloseCacheEnum();
    if (names.empty()) return;
    // The entries go by the names the walk found, and only those; the cache outlives these
    // lists, which a step of a plan may outlive.
    auto remove = [&part, report, area](const std::vector<std::string>& listed) {
        for (const auto& name : listed) {
            auto s = part.deleteEntry(name);
            if (!report || (!s && platform::isGone(s.error()))) continue;
            if (s)
                report->removed(area, 1);
            else if (s.error().code == EBUSY)  // a running browser is reported once per profile, by name
                report->fail(area, s.error().message, "Firefox is running", true);
            else
                report->fail(area, name, s.error().message);
        }
    };
    const auto count = names.size();
    sink.step(
        area, {}, count, 0, [remove, names] { remove(names); }, names);
}

}  // namespace quenvor::cleaning
