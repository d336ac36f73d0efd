#pragma once
// The two lists of the "Erase my tracks" page, filled from the URL cache, and its emptying.
#include "cleaning/common/BrowserUrlCache.h"

namespace quenvor::ui {
class IFormView;
class IUiServices;
}  // namespace quenvor::ui

namespace quenvor::cleaning::common {
class KeepList;
class PlanSink;
}  // namespace quenvor::cleaning::common

namespace quenvor::cleaning {

class UrlCacheLists {
public:
    UrlCacheLists(ui::IFormView& view, ui::IUiServices& ui, platform::IUrlCache& cache)
        : m_view(view), m_ui(ui), m_cache(cache) {}

    void ListVisitedSites();  // LstB2: entries of the normal type that are no cookie or history record
    void ListCookies();       // LstB3: entries named "Cookie..."
    // Both lists from one walk of the cache, as the window fills them at start: with every
    // browser's entries that walk is most of the start-up. A walk that breaks off leaves the
    // cookie list to a walk of its own, as ListCookies would.
    void ListPagesAndCookies();
    // Removes the entries LstB2 lists; raises what stopped the walk of the cache. With a sink,
    // what would go is added to its plan instead: one step per browser's cache folder (see
    // BrowserUrlCache::planRemoval) and one for the system's cache, each removing exactly what
    // was found.
    void ClearUrlCache(common::CleanReport* report, common::PlanSink* sink = nullptr);
    // Removes the entries LstB3 lists (the system's own cookies among them: the browsers'
    // cookie steps take only their own stores); raises what stopped the walk of the cache.
    void ClearCookies(common::CleanReport* report, common::PlanSink* sink = nullptr,
                      const common::KeepList* keep = nullptr);

private:
    void clear(common::CleanReport* report, common::PlanSink* sink, common::CleanArea area,
               const common::BrowserUrlCache::Pick& pick);
    static void clearByName(platform::IUrlCache& part, common::CleanReport* report, common::PlanSink& sink,
                            common::CleanArea area, const common::BrowserUrlCache::Pick& pick);

    ui::IFormView& m_view;
    ui::IUiServices& m_ui;
    platform::IUrlCache& m_cache;
};

}  // namespace quenvor::cleaning
