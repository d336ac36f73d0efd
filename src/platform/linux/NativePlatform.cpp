#include "platform/NativePlatform.h"

#include "platform/EmbeddedStringResource.h"
#include "platform/IniProfileReader.h"
#include "platform/PendingDeletionList.h"
#include "platform/RegistryStore.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxFreeSpace.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxProcessTable.h"
#include "platform/linux/LinuxRandomSource.h"
#include "platform/linux/LinuxStorageProbe.h"

namespace quenvor::platform {

struct NativePlatform::Impl {
    LinuxKnownFolders folders;
    LinuxRandomSource random;
    EmbeddedStringResource strings;
    PendingDeletionList pending{folders.stateHome() / "quenvor" / "pending-deletions"};
    LinuxFileService files{&pending};
    LinuxProcessTable processes;
    LinuxStorageProbe storageProbe;
    LinuxFreeSpace freeSpace;
    IniProfileReader profiles;
    RegistryStore registry{folders.dataHome() / "quenvor" / "registry.reg", &folders};
};

NativePlatform::NativePlatform() : m_impl(std::make_unique<Impl>()) {}
NativePlatform::~NativePlatform() = default;

PlatformServices NativePlatform::services() {
    PlatformServices s;
    s.files = &m_impl->files;
    s.folders = &m_impl->folders;
    s.random = &m_impl->random;
    s.strings = &m_impl->strings;
    s.pending = &m_impl->pending;
    s.processes = &m_impl->processes;
    s.profiles = &m_impl->profiles;
    s.registry = &m_impl->registry;
    s.storageProbe = &m_impl->storageProbe;
    s.freeSpace = &m_impl->freeSpace;
    return s;
}

std::unique_ptr<IFileService> NativePlatform::makeFileService(PendingDeletionList* pending) {
    return std::make_unique<LinuxFileService>(pending);
}

std::unique_ptr<IRandomSource> NativePlatform::makeRandomSource() { return std::make_unique<LinuxRandomSource>(); }

}  // namespace quenvor::platform
