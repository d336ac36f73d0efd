#pragma once
#include "platform/IFreeSpace.h"

namespace quenvor::platform {

// statvfs, the folder's filesystem type and size, O_EXCL creation relative to the held folder,
// FITRIM on the folder's filesystem, and what ext4's jbd2 and XFS tell anyone of their logs.
class LinuxFreeSpace : public IFreeSpace {
public:
    Result<SpaceFacts> space(IDirectory& folder) override;
    Result<NameTable> names(IDirectory& folder) override;
    Result<std::unique_ptr<IWritableFile>> createFile(IDirectory& folder, const std::string& name) override;
    Status makeFolder(IDirectory& parent, const std::string& name) override;
    Result<std::uint64_t> discardFree(IDirectory& folder) override;
    Status writeBack(IDirectory& folder) override;
    std::optional<JournalHead> journalHead(IDirectory& folder) override;
};

}  // namespace quenvor::platform
