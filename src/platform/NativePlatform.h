#pragma once
// Owns the backend for the operating system this program was built for (one folder per
// backend below src/platform; CMake picks it).
#include <memory>

#include "platform/IFileService.h"
#include "platform/IRandomSource.h"
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

    // One service of this backend on its own, for callers (tests among them) that supply the
    // others. `pending` receives the removals left for the next start; null: they fail.
    static std::unique_ptr<IFileService> makeFileService(PendingDeletionList* pending = nullptr);
    static std::unique_ptr<IRandomSource> makeRandomSource();

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace quenvor::platform
