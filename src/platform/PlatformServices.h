#pragma once
// The operating-system services the program uses, as one bundle of non-owning pointers.
// The window layer fills it from the native backend (plus its own Qt services); tests fill
// it with fakes. A null member is a service this build does not provide.
namespace quenvor::platform {

class IFileService;
class IRegistry;
class IUrlCache;
class IUrlHistory;
class IKnownFolders;
class IRandomSource;
class IDocumentOpener;
class IStringResource;
class IProfileReader;
class ISettingsStore;
class PendingDeletionList;
class IProcessTable;
class IStorageProbe;
class IFreeSpace;

struct PlatformServices {
    IFileService* files = nullptr;
    IRegistry* registry = nullptr;
    IUrlCache* urlCache = nullptr;
    IUrlHistory* urlHistory = nullptr;
    IKnownFolders* folders = nullptr;
    IRandomSource* random = nullptr;
    IDocumentOpener* opener = nullptr;
    IStringResource* strings = nullptr;
    IProfileReader* profiles = nullptr;
    ISettingsStore* settings = nullptr;
    PendingDeletionList* pending = nullptr;  // removals left for the next start
    IProcessTable* processes = nullptr;
    IStorageProbe* storageProbe = nullptr;  // what overwriting in place achieves where a file lies
    IFreeSpace* freeSpace = nullptr;        // a filesystem's free space, for wiping it
};

}  // namespace quenvor::platform
