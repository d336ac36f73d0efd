#include "platform/NativePlatform.h"

#include "platform/EmbeddedStringResource.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxRandomSource.h"

namespace quenvor::platform {

struct NativePlatform::Impl {
    LinuxKnownFolders folders;
    LinuxRandomSource random;
    EmbeddedStringResource strings;
};

NativePlatform::NativePlatform() : m_impl(std::make_unique<Impl>()) {}
NativePlatform::~NativePlatform() = default;

PlatformServices NativePlatform::services() {
    PlatformServices s;
    s.folders = &m_impl->folders;
    s.random = &m_impl->random;
    s.strings = &m_impl->strings;
    return s;
}

}  // namespace quenvor::platform
