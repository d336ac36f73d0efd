#pragma once
#include "platform/IFreeSpace.h"

namespace quenvor::platform::windows {

// GetDiskFreeSpaceEx for the folder's drive, new files made with CREATE_NEW (never an existing
// name, never through a link), a hidden folder for the fill. NTFS keeps names in its MFT with
// the small files' contents: no bounded set of names reaches all of it.
class WindowsFreeSpace : public IFreeSpace {
public:
    Result<SpaceFacts> space(IDirectory& folder) override;
    Result<NameTable> names(IDirectory& folder) override;
    Result<std::unique_ptr<IWritableFile>> createFile(IDirectory& folder, const std::string& name) override;
    Status makeFolder(IDirectory& parent, const std::string& name) override;
    Result<std::uint64_t> discardFree(IDirectory& folder) override;
};

}  // namespace quenvor::platform::windows
