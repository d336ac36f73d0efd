#pragma once
// The one start-up both windows share: from the native backend's services it builds what the
// program reads and cleans on the system it runs on, and owns it. The URL cache is the system's
// own (WinINet on Windows, none on Linux) joined with every Firefox and Chromium-family profile,
// so page one lists, and a run erases, the traces of each browser the user has. The window adds
// its own services (settings store, document opener) to services() before the form uses them.
#include <memory>

#include "platform/PlatformServices.h"

namespace quenvor::cleaning {
class CompositeUrlCache;
}  // namespace quenvor::cleaning
namespace quenvor::cleaning::chromium {
class ChromiumUrlCache;
}  // namespace quenvor::cleaning::chromium
namespace quenvor::cleaning::firefox {
class FirefoxUrlCache;
}  // namespace quenvor::cleaning::firefox

namespace quenvor::shell {

class AppServices {
public:
    explicit AppServices(platform::PlatformServices native);
    ~AppServices();
    AppServices(const AppServices&) = delete;
    AppServices& operator=(const AppServices&) = delete;

    // The native services with the joined URL cache in place of the backend's own; valid while
    // this object lives.
    platform::PlatformServices& services() { return m_services; }

private:
    platform::PlatformServices m_services;
    std::unique_ptr<cleaning::firefox::FirefoxUrlCache> m_firefox;
    std::unique_ptr<cleaning::chromium::ChromiumUrlCache> m_chromium;
    std::unique_ptr<cleaning::CompositeUrlCache> m_urlCache;
};

}  // namespace quenvor::shell
