#include "shredder/FolderShred.h"

#include <set>

#include "platform/IFileService.h"
#include "shredder/FolderRemover.h"
#include "shredder/HeldChoice.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"
#include "ui/Guarded.h"

namespace quenvor::shredder {

using platform::FileType;

namespace {

FolderShred::Left left(std::string path, FolderShred::Reason reason, std::string detail = {}, bool inPlace = true,
                       FolderShred::Kind kind = FolderShred::Kind::File) {
    FolderShred::Left l;
    l.path = std::move(path);
    l.reason = reason;
    l.detail = std::move(detail);
    l.leftInPlace = inPlace;
    l.kind = kind;
    return l;
}

// The passes ran to their end: whatever happened to the name, the contents are overwritten.
bool overwritten(const ShredResult& r) {
    switch (r.status) {
        case ShredStatus::Shredded:
        case ShredStatus::RemovalPending:
        case ShredStatus::RemovalFailed:
        case ShredStatus::NameReplaced:
        case ShredStatus::NameMoved:
            return true;
        default:
            return false;
    }
}

}  // namespace

int FolderShred::Outcome::leftOf(Kind k) const {
    int n = 0;
    for (const auto& l : left)
        if (l.kind == k) ++n;
    return n;
}

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

bool FolderShred::unlinkName(platform::IDirectory& folder, const std::string& name, const std::string& path,
                             const platform::FileStatus& listed, Reason done, Outcome& out, Kind kind) {
    // Only the name that was looked at: one put in its place since is not ours to remove.
    if (auto now = folder.statAt(name); !now || now->identity() != listed.identity() || now->type != listed.type) {
        out.left.push_back(left(path, Reason::Changed, {}, true, kind));
        return false;
    }
    if (auto s = folder.unlinkAt(name, false); !s) {
        out.left.push_back(left(path, Reason::NotRemoved, s.error().message, true, kind));
        return false;
    }
    if (done != Reason::NotRemoved) out.left.push_back(left(path, done, {}, false, kind));
    return true;
}

void FolderShred::shredded(const std::string& path, const ShredResult& r, const platform::FileStatus& listed,
                           Outcome& out) {
    if (overwritten(r)) m_namesRemoved.erase({listed.device, listed.inode});
    if (r.ok()) {
        if (r.storage.mayRemain())
            out.remained.push_back({path, r.storage.reason});
        else if (r.storage.unchecked)
            out.unchecked.push_back(path);
        return;
    }
    if (r.status == ShredStatus::NotFound) return;
    if (r.status == ShredStatus::DiskFull) out.diskFull = true;
    const bool gone = r.status == ShredStatus::NotRegularFile || r.status == ShredStatus::NameMoved;
    auto l =
        left(r.status == ShredStatus::RemovalPending ? m_engine.SourceFile() : path, Reason::NotShredded, {}, !gone);
    l.result = r;
    out.left.push_back(std::move(l));
}

void FolderShred::entry(platform::IDirectory& folder, const std::string& name, const std::string& path, Outcome& out,
                        FileType listedAs) {
    auto st = folder.statAt(name);
    if (!st) {
        ++out.files;
        out.left.push_back(left(path, Reason::Unreadable, st.error().message));
        return;
    }
    if (listedAs == FileType::Regular && st->type != FileType::Regular && st->type != FileType::NotFound) {
        // The file the walk listed went elsewhere with its contents; what took its name lies
        // inside the choice and is handled like the rest, but the file must not go unnamed.
        ++out.files;
        out.left.push_back(left(path, Reason::FileReplaced, {}, false));
    }
    const bool late = listedAs == FileType::NotFound;
    switch (st->type) {
        case FileType::NotFound:
        case FileType::Directory:
            return;
        case FileType::Regular:
            break;
        default:
            // Links, sockets, pipes and devices hold nothing of the folder's: remove the name
            // only. One that came in after the walk is removed too, but named.
            ++out.others;
            unlinkName(folder, name, path, *st, late ? Reason::AppearedLate : Reason::NotRemoved, out, Kind::Other);
            return;
    }
    const Identity id{st->device, st->inode};
    if (!m_namesRemoved.contains(id)) ++out.files;  // a file's names count once
    // The folder was chosen whole: a read-only folder inside it must not keep its files.
    if (auto fs = folder.status(); fs && fs->readOnly) (void)folder.setWritable();
    if (st->hardLinks > 1) {
        // Overwriting would destroy the contents of names not yet known to lie inside the
        // choice. The name goes; if the last of the names turns up inside too, the contents
        // are shredded through it and this name was no loss worth reporting.
        Outcome scratch;
        if (unlinkName(folder, name, path, *st, Reason::NotRemoved, scratch, Kind::File))
            m_namesRemoved[id].push_back(path);
        for (auto& l : scratch.left) out.left.push_back(std::move(l));
        return;
    }
    shredded(path, shred(folder, name, *st), *st, out);
}

void FolderShred::guardedEntry(platform::IDirectory& folder, const std::string& name, const std::string& path,
                               Outcome& out, FileType listedAs) {
    // An entry whose handling throws stays where it is and is named; the run goes on.
    ui::reportedStep([&] { entry(folder, name, path, out, listedAs); },
                     [&](const std::string& why) { out.left.push_back(left(path, Reason::Unexpected, why)); });
}

FolderShred::Outcome FolderShred::run(const std::string& folder) {
    HeldChoice choice = HeldChoice::hold(m_files, folder, true);
    if (choice.ok()) return run(choice);
    Outcome out;
    // Nothing there is nothing to shred; anything else that kept it from being held is named.
    if (choice.problem() != HeldChoice::Problem::Gone)
        out.left.push_back(
            left(choice.path(),
                 choice.problem() == HeldChoice::Problem::Unreadable ? Reason::NotEntered : Reason::FolderMoved,
                 choice.detail(), true, Kind::Folder));
    return out;
}

FolderShred::Outcome FolderShred::run(HeldChoice& choice) {
    Outcome out;
    m_namesRemoved.clear();
    const std::string& folder = choice.path();
    cRecurse walker(m_files);
    bool finished = false;
    const bool walked = ui::reportedStep(
        [&] {
            finished = walker.visit(*choice.folder(), folder, [&](const cRecurse::Found& f) {
                if (out.diskFull || (m_hooks.stopRequested && m_hooks.stopRequested())) return false;
                if (f.enteredFolder)
                    ++out.folders;
                else
                    guardedEntry(f.folder, f.entry.name, f.path, out, f.entry.type);
                return true;
            });
        },
        [&](const std::string& why) { out.left.push_back(left(folder, Reason::Unexpected, why, true, Kind::Folder)); });
    // A walk that broke off leaves the rest unvisited: nothing is removed after it.
    if (!walked) return out;
    if (!finished) {
        out.aborted = !out.diskFull;
        return out;
    }

    std::set<std::string> keep;
    for (const auto& l : out.left)
        if (l.leftInPlace) keep.insert(l.path);
    for (const auto& n : walker.notEntered()) {
        keep.insert(n.path);
        const Reason why = n.mountPoint ? Reason::MountPoint : n.changed ? Reason::FolderChanged : Reason::NotEntered;
        const Kind kind = n.mountPoint ? Kind::Other : Kind::Folder;
        if (kind == Kind::Other)
            ++out.others;
        else
            ++out.folders;
        out.left.push_back(left(n.path, why, why == Reason::NotEntered ? n.reason : std::string(), true, kind));
    }
    ui::reportedStep(
        [&] {
            // What came into the folder after the walk passed by is handled now, like the rest:
            // a file is shredded, never removed with its contents still on the disk.
            FolderRemover remover(m_files, [&](platform::IDirectory& d, const std::string& name,
                                               const std::string& path, const platform::FileStatus&) {
                if (out.diskFull) return false;
                guardedEntry(d, name, path, out, FileType::NotFound);
                auto now = d.statAt(name);
                return now && now->type == FileType::NotFound;
            });
            // Files and other entries went through the callback: what the removal itself
            // reports is a folder. The chosen folder's own name leading elsewhere by now means
            // it was moved or replaced: what is at its path is not the folder that was shredded.
            for (const auto& f :
                 remover.removeHeld(choice.parent(), choice.name(), choice.takeFolder(), choice.seen(), folder, keep)) {
                const Reason why = !f.changed         ? Reason::NotRemoved
                                   : f.path == folder ? Reason::FolderMoved
                                                      : Reason::Changed;
                out.left.push_back(left(f.path, why, f.detail, why != Reason::FolderMoved, Kind::Folder));
            }
        },
        [&](const std::string& why) { out.left.push_back(left(folder, Reason::Unexpected, why, true, Kind::Folder)); });
    for (const auto& [id, names] : m_namesRemoved)
        for (const auto& n : names) out.left.push_back(left(n, Reason::OtherNames, {}, false));
    m_namesRemoved.clear();
    out.choiceMoved = !choice.stillAtPath(m_files);
    for (const auto& l : out.left) out.choiceMoved = out.choiceMoved || l.reason == Reason::FolderMoved;
    return out;
}

}  // namespace quenvor::shredder
