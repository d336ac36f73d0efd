#include "shredder/FolderRemover.h"

#include <cerrno>

#include "platform/IFileService.h"
#include "platform/Utf8Path.h"
#include "shredder/NameWiper.h"

namespace quenvor::shredder {

using platform::FileType;

std::vector<FolderRemover::Failure> FolderRemover::removeTree(const std::filesystem::path& root,
                                                              const std::set<std::string>& keep) {
    std::vector<Failure> failures;
    std::string path = platform::utf8Of(root);
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    const std::filesystem::path normal = platform::pathFromUtf8(path);
    if (keep.contains(path) || normal.filename().empty() || normal.filename() == "." || normal.filename() == "..")
        return failures;
    const std::string name = platform::utf8Of(normal.filename());
    auto parent = m_files.openDirectory(normal.parent_path());
    if (!parent) {
        if (parent.error().code != ENOENT && parent.error().code != ENOTDIR)
            failures.push_back({path, parent.error().message});
        return failures;
    }
    auto st = (*parent)->statAt(name);
    if (!st) {
        failures.push_back({path, st.error().message});
        return failures;
    }
    if (st->type != FileType::Directory) return failures;
    auto dir = (*parent)->openDir(name);
    if (!dir) {
        failures.push_back({path, dir.error().message, !NameWiper::refersTo(**parent, name, *st)});
        return failures;
    }
    auto entered = (*dir)->status();
    if (!entered || entered->identity() != st->identity()) {
        failures.push_back({path, entered ? std::string() : entered.error().message, entered.ok()});
        return failures;
    }
    return removeHeld(parent->get(), name, std::move(*dir), *st, path, keep);
}

std::vector<FolderRemover::Failure> FolderRemover::removeHeld(platform::IDirectory* parent, const std::string& name,
                                                              std::unique_ptr<platform::IDirectory> folder,
                                                              const platform::FileStatus& seen, const std::string& path,
                                                              const std::set<std::string>& keep) {
    std::vector<Failure> failures;
    if (keep.contains(path) || !folder) return failures;
    auto entered = folder->status();
    if (!entered) {
        failures.push_back({path, entered.error().message});
        return failures;
    }
    const bool emptied = removeBelow(*folder, path, {seen.device, entered->mountId}, keep, failures);
    folder.reset();
    if (emptied && parent && !name.empty()) removeOne(*parent, name, path, seen, failures, false);
    return failures;
}

// True when `dir` is empty afterwards.
bool FolderRemover::removeBelow(platform::IDirectory& dir, const std::string& path, Mount mount,
                                const std::set<std::string>& keep, std::vector<Failure>& failures) {
    auto listing = dir.list();
    if (!listing) {
        // Perhaps only missing permissions: the folder is ours to remove.
        (void)dir.setWritable();
        listing = dir.list();
        if (!listing) {
            failures.push_back({path, listing.error().message});
            return false;
        }
    }
    const std::string base = path.back() == '/' ? path : path + '/';
    bool empty = true;
    for (const auto& e : *listing) {
        const std::string p = base + e.name;
        if (keep.contains(p)) {
            empty = false;
            continue;
        }
        auto st = dir.statAt(e.name);
        if (!st) {
            failures.push_back({p, st.error().message});
            empty = false;
            continue;
        }
        if (st->type == FileType::NotFound) continue;
        if (st->type != FileType::Directory && m_unlisted) {
            if (!m_unlisted(dir, e.name, p, *st)) empty = false;
            continue;
        }
        if (st->type != FileType::Directory) {
            if (!removeOne(dir, e.name, p, *st, failures)) empty = false;
            continue;
        }
        if (st->device != mount.device) {  // a mount point: not ours to empty
            empty = false;
            continue;
        }
        auto sub = dir.openDir(e.name);
        if (!sub) {
            failures.push_back({p, sub.error().message, !NameWiper::refersTo(dir, e.name, *st)});
            empty = false;
            continue;
        }
        auto entered = (*sub)->status();
        if (!entered || entered->identity() != st->identity()) {
            failures.push_back({p, entered ? std::string() : entered.error().message, entered.ok()});
            empty = false;
            continue;
        }
        if (mount.id != 0 && entered->mountId != 0 && entered->mountId != mount.id) {  // a bind mount
            empty = false;
            continue;
        }
        if (!removeBelow(**sub, p, mount, keep, failures) || !removeOne(dir, e.name, p, *st, failures)) empty = false;
    }
    return empty;
}

bool FolderRemover::removeOne(platform::IDirectory& dir, const std::string& name, const std::string& path,
                              const platform::FileStatus& seen, std::vector<Failure>& failures, bool insideChoice) {
    if (!NameWiper::refersTo(dir, name, seen)) {
        failures.push_back({path, {}, true});
        return false;
    }
    const bool folder = seen.type == FileType::Directory;
    std::string current = name;
    if (folder) {
        // A folder's name is as telling as its files' names: it goes the same way theirs did.
        current = NameWiper::wipe(dir, name, seen);
        if (!NameWiper::refersTo(dir, current, seen)) {
            failures.push_back({path, {}, true});
            return false;
        }
    }
    auto s = dir.unlinkAt(current, folder);
    if (!s && insideChoice && (s.error().code == EACCES || s.error().code == EPERM)) {
        // A read-only folder keeps its entries: make it writable and try once more. The folder
        // holding the chosen one is not the user's choice: it is never changed.
        (void)dir.setWritable();
        s = dir.unlinkAt(current, folder);
    }
    if (!s) {
        // What stays keeps the name the user knows it by, where that can be given back.
        const bool restored = current == name || dir.renameAt(current, name).ok();
        failures.push_back({restored ? path : path.substr(0, path.size() - name.size()) + current, s.error().message});
    } else if (folder) {
        (void)dir.flush();
    }
    return s.ok();
}

}  // namespace quenvor::shredder
