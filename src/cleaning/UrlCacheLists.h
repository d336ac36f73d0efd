#pragma once
// The two lists of the "Erase my tracks" page, filled from the URL cache, and its emptying.
namespace quenvor::platform {
class IUrlCache;
}
namespace quenvor::ui {
class IFormView;
class IUiServices;
}  // namespace quenvor::ui

namespace quenvor::cleaning::common {
class CleanReport;
}

namespace quenvor::cleaning {

class UrlCacheLists {
public:
    UrlCacheLists(ui::IFormView& view, ui::IUiServices& ui, platform::IUrlCache& cache)
        : m_view(view), m_ui(ui), m_cache(cache) {}

    void ListVisitedSites();  // LstB2: entries of the normal type
    void ListCookies();       // LstB3: entries named "Cookie..."
    // Removes the entries of the normal type; raises what stopped the walk of the cache.
    void ClearUrlCache(common::CleanReport* report);

private:
    ui::IFormView& m_view;
    ui::IUiServices& m_ui;
    platform::IUrlCache& m_cache;
};

}  // namespace quenvor::cleaning
