#pragma once
#include "platform/IDocumentOpener.h"

namespace quenvor::window::win32 {

// Hands an address to the program Windows has for it ("open").
class ShellDocumentOpener : public platform::IDocumentOpener {
public:
    platform::Status open(const std::string& address, std::uintptr_t owner) override;
};

}  // namespace quenvor::window::win32
