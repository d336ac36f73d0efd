#include "shell/AppServices.h"

#include <vector>

#include "cleaning/CompositeUrlCache.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cleaning/firefox/FirefoxUrlCache.h"

namespace quenvor::shell {

AppServices::AppServices(platform::PlatformServices native)
    : m_services(native),
      m_firefox(cleaning::firefox::FirefoxUrlCache::fromServices(native)),
      m_chromium(cleaning::chromium::ChromiumUrlCache::fromServices(native)) {
    // The system's own cache first: its entries are the ones a user of that system knows.
    std::vector<platform::IUrlCache*> parts;
    for (platform::IUrlCache* part : {native.urlCache, static_cast<platform::IUrlCache*>(m_firefox.get()),
                                      static_cast<platform::IUrlCache*>(m_chromium.get())})
        if (part) parts.push_back(part);
    m_urlCache = std::make_unique<cleaning::CompositeUrlCache>(std::move(parts));
    m_services.urlCache = m_urlCache.get();
}

AppServices::~AppServices() = default;

}  // namespace quenvor::shell
