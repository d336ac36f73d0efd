#include "shredder/FolderShred.h"

#include <exception>
#include <filesystem>
#include <set>

#include "platform/IFileService.h"
#include "shredder/FolderRemover.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"

namespace quenvor::shredder {

using platform::FileType;

FolderShred::FolderShred(platform::IFileService& files, cPattern& engine, Hooks hooks)
    : m_files(files), m_engine(engine), m_hooks(std::move(hooks)) {}

ShredResult FolderShred::shred(const std::string& path) {
    if (m_hooks.beforeFile) m_hooks.beforeFile();
    m_engine.setSourceFile(path);
    ShredResult r = m_engine.DeleteFileByPattern();
    if (m_hooks.afterFile) m_hooks.afterFile(r);
    return r;
}

void FolderShred::entry(const std::string& path, Outcome& out) {
    if (path.empty()) return;
    auto st = m_files.status(path);
    if (!st) {
        ++out.files;
        out.left.push_back({path, Reason::Unreadable, {}, st.error().message});
        return;
    }
    switch (st->type) {
        case FileType::NotFound:
        case FileType::Directory:
            return;
        case FileType::Regular:
            break;
        default:
            // Links, sockets, pipes and devices hold nothing of the folder's: remove the name only.
            if (auto s = m_files.remove(path); !s)
                out.left.push_back({path, Reason::NotRemoved, {}, s.error().message});
            return;
    }
    ++out.files;
    // The folder was chosen whole: a read-only folder inside it must not keep its files.
    const auto parent = std::filesystem::path(path).parent_path();
    if (auto ps = m_files.status(parent); ps && ps->type == FileType::Directory && ps->readOnly)
        (void)m_files.setWritable(parent);
    if (st->hardLinks > 1) {
        // Overwriting would destroy the contents of names outside the chosen folder.
        if (auto s = m_files.remove(path); !s)
            out.left.push_back({path, Reason::NotRemoved, {}, s.error().message});
        else
            out.left.push_back({path, Reason::OtherNames, {}, {}, false});
        return;
    }
    const ShredResult r = shred(path);
    if (!r.ok() && r.status != ShredStatus::NotFound) {
        const bool gone = r.status == ShredStatus::NotRegularFile;
        out.left.push_back({r.status == ShredStatus::RemovalPending ? m_engine.SourceFile() : path,
                            Reason::NotShredded,
                            r,
                            {},
                            !gone});
    }
}

FolderShred::Outcome FolderShred::run(const std::string& folder) {
    Outcome out;
    cRecurse walker(m_files);
    const RecurseList list = walker.Recurse(folder, "*.*");
    for (std::int64_t i = 1; i <= list.upperBound(); ++i) {
        if (m_hooks.stopRequested && m_hooks.stopRequested()) {
            out.aborted = true;
            return out;
        }
        if (i > 3 && list[i - 1].empty() && list[i - 2].empty() && list[i - 3].empty()) break;
        entry(list[i], out);
    }

    std::set<std::string> keep;
    for (const auto& l : out.left)
        if (l.leftInPlace) keep.insert(l.path);
    for (const auto& n : walker.notEntered()) {
        keep.insert(n.path);
        out.left.push_back({n.path, n.mountPoint ? Reason::MountPoint : Reason::NotEntered, {}, n.reason});
    }
    try {
        for (const auto& f : FolderRemover(m_files).removeTree(folder, keep))
            out.left.push_back({f.path, Reason::NotRemoved, {}, f.detail});
    } catch (const std::exception& e) {
        out.left.push_back({folder, Reason::NotRemoved, {}, e.what()});
    }
    return out;
}

}  // namespace quenvor::shredder
