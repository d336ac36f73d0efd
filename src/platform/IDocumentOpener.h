#pragma once
#include <cstdint>
#include <string>

#include "platform/Result.h"

namespace quenvor::platform {

// Hands a document or an address to the desktop's default program for it.
class IDocumentOpener {
public:
    virtual ~IDocumentOpener() = default;
    // `owner` identifies the window asking (0 when there is none). An error when the desktop
    // could not open it (no program for its kind, the helper failed): the caller tells the user,
    // as the desktop often says nothing.
    [[nodiscard]] virtual Status open(const std::string& address, std::uintptr_t owner) = 0;
};

}  // namespace quenvor::platform
