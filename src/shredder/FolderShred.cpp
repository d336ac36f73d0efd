#include "shredder/FolderShred.h"

#include <exception>
#include <set>

#include "platform/IFileService.h"
#include "shredder/FolderRemover.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"

namespace quenvor::shredder {

using platform::FileType;

namespace {

FolderShred::Left left(std::string path, FolderShred::Reason reason, std::string detail = {}, bool inPlace = true) {
    FolderShred::Left l;
    l.path = std::move(path);
    l.reason = reason;
    l.detail = std::move(detail);
    l.leftInPlace = inPlace;
    return l;
}

}  // namespace

FolderShred::FolderShred(platform::IFileService& files, cPattern& engine, Hooks hooks)
    : m_files(files), m_engine(engine), m_hooks(std::move(hooks)) {}

ShredResult FolderShred::shred(platform::IDirectory& folder, const std::string& name,
                               const platform::FileStatus& listed) {
    if (m_hooks.beforeFile) m_hooks.beforeFile();
    m_engine.setAllowedNames(1);
    ShredResult r = m_engine.shredIn(folder, name, &listed);
    if (m_hooks.afterFile) m_hooks.afterFile(r);
    return r;
}

void FolderShred::unlinkName(platform::IDirectory& folder, const std::string& name, const std::string& path,
                             const platform::FileStatus& listed, Reason done, Outcome& out) {
    // Only the name that was looked at: one put in its place since is not ours to remove.
    if (auto now = folder.statAt(name); !now || now->identity() != listed.identity() || now->type != listed.type) {
        out.left.push_back(left(path, Reason::Changed));
        return;
    }
    if (auto s = folder.unlinkAt(name, false); !s)
        out.left.push_back(left(path, Reason::NotRemoved, s.error().message));
    else if (done != Reason::NotRemoved)
        out.left.push_back(left(path, done, {}, false));
}

void FolderShred::entry(platform::IDirectory& folder, const std::string& name, const std::string& path, Outcome& out) {
    auto st = folder.statAt(name);
    if (!st) {
        ++out.files;
        out.left.push_back(left(path, Reason::Unreadable, st.error().message));
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
            unlinkName(folder, name, path, *st, Reason::NotRemoved, out);
            return;
    }
    ++out.files;
    // The folder was chosen whole: a read-only folder inside it must not keep its files.
    if (auto fs = folder.status(); fs && fs->readOnly) (void)folder.setWritable();
    if (st->hardLinks > 1) {
        // Overwriting would destroy the contents of names outside the chosen folder.
        unlinkName(folder, name, path, *st, Reason::OtherNames, out);
        return;
    }
    const ShredResult r = shred(folder, name, *st);
    if (r.ok() || r.status == ShredStatus::NotFound) return;
    const bool gone = r.status == ShredStatus::NotRegularFile;
    auto l =
        left(r.status == ShredStatus::RemovalPending ? m_engine.SourceFile() : path, Reason::NotShredded, {}, !gone);
    l.result = r;
    out.left.push_back(std::move(l));
}

FolderShred::Outcome FolderShred::run(const std::string& folder) {
    Outcome out;
    cRecurse walker(m_files);
    const bool finished = walker.visit(folder, [&](const cRecurse::Found& f) {
        if (m_hooks.stopRequested && m_hooks.stopRequested()) return false;
        if (!f.enteredFolder) entry(f.folder, f.entry.name, f.path, out);
        return true;
    });
    if (!finished) {
        out.aborted = true;
        return out;
    }

    std::set<std::string> keep;
    for (const auto& l : out.left)
        if (l.leftInPlace) keep.insert(l.path);
    for (const auto& n : walker.notEntered()) {
        keep.insert(n.path);
        const Reason why = n.mountPoint ? Reason::MountPoint : n.changed ? Reason::FolderChanged : Reason::NotEntered;
        out.left.push_back(left(n.path, why, why == Reason::NotEntered ? n.reason : std::string()));
    }
    try {
        // A file that came into the folder after the walk passed by is shredded now, like the
        // rest, never removed with its contents still on the disk.
        FolderRemover remover(m_files, [&](platform::IDirectory& d, const std::string& name, const std::string& path,
                                           const platform::FileStatus&) {
            entry(d, name, path, out);
            auto now = d.statAt(name);
            return now && now->type == FileType::NotFound;
        });
        for (const auto& f : remover.removeTree(folder, keep))
            out.left.push_back(left(f.path, f.changed ? Reason::Changed : Reason::NotRemoved, f.detail));
    } catch (const std::exception& e) {
        out.left.push_back(left(folder, Reason::NotRemoved, e.what()));
    }
    return out;
}

}  // namespace quenvor::shredder
