#include "platform/cTools.h"

#include "platform/IDocumentOpener.h"

namespace quenvor::platform {

void cTools::OpenSiteInBrowser(const std::string& address, std::uintptr_t owner) {
    if (!m_opener) return;
    try {
        (void)m_opener->open(address, owner);
    } catch (...) {
        // nothing to tell the user that the desktop has not already said
    }
}

}  // namespace quenvor::platform
