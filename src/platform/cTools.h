#pragma once
#include <cstdint>
#include <string>

namespace quenvor::platform {

class IDocumentOpener;

// Opens a document or web address in the user's default program for it.
class cTools {
public:
    explicit cTools(IDocumentOpener* opener) : m_opener(opener) {}
    // Failures are silent by design: the desktop reports what it cannot open.
    void OpenSiteInBrowser(const std::string& address, std::uintptr_t owner);

private:
    IDocumentOpener* m_opener;
};

}  // namespace quenvor::platform
