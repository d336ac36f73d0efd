#include "platform/NativePlatform.h"

#include "platform/IniProfileReader.h"
#include "platform/PendingDeletionList.h"
#include "platform/windows/WindowsFileService.h"
#include "platform/windows/WindowsFreeSpace.h"
#include "platform/windows/WindowsKnownFolders.h"
#include "platform/windows/WindowsProcessTable.h"
#include "platform/windows/WindowsRandomSource.h"
#include "platform/windows/WindowsRegistry.h"
#include "platform/windows/WindowsSettingsStore.h"
#include "platform/windows/WindowsStringResource.h"
#include "platform/windows/WindowsUrlCache.h"
#include "platform/windows/WindowsUrlHistory.h"

namespace quenvor::platform {

struct NativePlatform::Impl {
    windows::WindowsKnownFolders folders;
    windows::WindowsRandomSource random;
    windows::WindowsStringResource strings{folders.programFolder()};
    PendingDeletionList pending{folders.stateHome() / "Quenvor" / "pending-deletions"};
    windows::WindowsFileService files{&pending};
    windows::WindowsProcessTable processes;
    windows::WindowsRegistry registry;
    windows::WindowsSettingsStore settings;
    windows::WindowsUrlCache urlCache;
    windows::WindowsUrlHistory urlHistory;
    IniProfileReader profiles;
    windows::WindowsFreeSpace freeSpace;
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
    s.registry = &m_impl->registry;
    s.settings = &m_impl->settings;
    s.urlCache = &m_impl->urlCache;
    s.urlHistory = &m_impl->urlHistory;
    s.profiles = &m_impl->profiles;
    s.freeSpace = &m_impl->freeSpace;
    return s;
}

std::unique_ptr<IFileService> NativePlatform::makeFileService(PendingDeletionList* pending) {
    return std::make_unique<windows::WindowsFileService>(pending);
}

std::unique_ptr<IRandomSource> NativePlatform::makeRandomSource() {
    return std::make_unique<windows::WindowsRandomSource>();
}

}  // namespace quenvor::platform
