#include "shredder/FolderRemover.h"

#include <cerrno>

#include "platform/IFileService.h"

namespace quenvor::shredder {

using platform::FileType;

std::vector<FolderRemover::Failure> FolderRemover::removeTree(const std::filesystem::path& root,
                                                              const std::set<std::string>& keep) {
    std::vector<Failure> failures;
    auto st = m_files.status(root);
    if (!st) {
        failures.push_back({root.string(), st.error().message});
        return failures;
    }
    if (st->type != FileType::Directory || keep.count(root.string())) return failures;
    if (removeBelow(root, st->device, keep, failures)) removeOne(root, failures);
    return failures;
}

// True when `dir` is empty afterwards.
bool FolderRemover::removeBelow(const std::filesystem::path& dir, std::uint64_t device,
                                const std::set<std::string>& keep, std::vector<Failure>& failures) {
    auto listing = m_files.list(dir);
    if (!listing) {
        // Perhaps only missing permissions: the folder is ours to remove.
        (void)m_files.setWritable(dir);
        listing = m_files.list(dir);
        if (!listing) {
            failures.push_back({dir.string(), listing.error().message});
            return false;
        }
    }
    bool empty = true;
    for (const auto& e : *listing) {
        const auto p = dir / e.name;
        if (keep.count(p.string())) {
            empty = false;
            continue;
        }
        if (e.type == FileType::Directory) {
            auto st = m_files.status(p);
            if (!st || st->type != FileType::Directory) {
                if (!removeOne(p, failures)) empty = false;
                continue;
            }
            if (st->device != device) {  // a mount point: not ours to empty
                empty = false;
                continue;
            }
            if (!removeBelow(p, device, keep, failures) || !removeOne(p, failures)) empty = false;
        } else if (!removeOne(p, failures)) {
            empty = false;
        }
    }
    return empty;
}

bool FolderRemover::removeOne(const std::filesystem::path& p, std::vector<Failure>& failures) {
    auto s = m_files.remove(p);
    if (!s && (s.error().code == EACCES || s.error().code == EPERM)) {
        // A read-only folder keeps its entries: make it writable and try once more.
        (void)m_files.setWritable(p.parent_path());
        s = m_files.remove(p);
    }
    if (!s) failures.push_back({p.string(), s.error().message});
    return s.ok();
}

}  // namespace quenvor::shredder
