#pragma once
#include <cstdint>
#include <string>

namespace quenvor::platform {

// Hands a document or an address to the desktop's default program for it.
class IDocumentOpener {
public:
    virtual ~IDocumentOpener() = default;
    // `owner` identifies the window asking (0 when there is none). False when nothing could
    // be started; the desktop may still show its own error.
    virtual bool open(const std::string& address, std::uintptr_t owner) = 0;
};

}  // namespace quenvor::platform
