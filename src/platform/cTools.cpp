#include "platform/cTools.h"

#include <exception>

#include "platform/IDocumentOpener.h"

namespace quenvor::platform {

Status cTools::OpenSiteInBrowser(const std::string& address, std::uintptr_t owner) {
    if (!m_opener) return Error{0, "no program to open documents with"};
    try {
        return m_opener->open(address, owner);
    } catch (const std::exception& e) {
        return Error{0, e.what()};
    } catch (...) {
        return Error{0, "opening it failed"};
    }
}

}  // namespace quenvor::platform
