#pragma once
// Owns the backend for the operating system this program was built for (one folder per
// backend below src/platform; CMake picks it).
#include <memory>

#include "platform/PlatformServices.h"

namespace quenvor::platform {

class NativePlatform {
public:
    NativePlatform();
    ~NativePlatform();
    NativePlatform(const NativePlatform&) = delete;
    NativePlatform& operator=(const NativePlatform&) = delete;

    // Services the backend provides; the settings store and the opener may be replaced by
    // the window layer's own.
    PlatformServices services();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quenvor::platform
