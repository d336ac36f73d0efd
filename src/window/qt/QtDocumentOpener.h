#pragma once
#include "platform/IDocumentOpener.h"

namespace quenvor::window {

// The desktop's default program for a file or an address (xdg-open or the portal on Linux).
class QtDocumentOpener : public platform::IDocumentOpener {
public:
    platform::Status open(const std::string& address, std::uintptr_t owner) override;
};

}  // namespace quenvor::window
