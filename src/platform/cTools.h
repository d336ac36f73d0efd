#pragma once
#include <cstdint>
#include <string>

#include "platform/Result.h"

namespace quenvor::platform {

class IDocumentOpener;

// Opens a document or web address in the user's default program for it.
class cTools {
public:
    explicit cTools(IDocumentOpener* opener) : m_opener(opener) {}
    // An error when there is no opener or it could not open the address.
    [[nodiscard]] Status OpenSiteInBrowser(const std::string& address, std::uintptr_t owner);

private:
    IDocumentOpener* m_opener;
};

}  // namespace quenvor::platform
