#include "shredder/HeldChoice.h"

#include <vector>

#include "platform/ErrorKinds.h"
#include "platform/Utf8Path.h"

namespace quenvor::shredder {
namespace fs = std::filesystem;

namespace {

constexpr int kMostLinks = 40;  // as many as the system itself follows on one path

// The folder `p` with every link on its path replaced by what it points to; `p` unchanged when
// a link cannot be read or they go round in circles.
fs::path linksResolved(platform::IFileService& files, const fs::path& p) {
    fs::path done = p.root_path();
    std::vector<fs::path> todo;  // the components still to go, the next one last
    for (const auto& part : p.relative_path()) todo.insert(todo.begin(), part);
    int links = 0;
    while (!todo.empty()) {
        const fs::path part = todo.back();
        todo.pop_back();
        if (part.empty() || part == ".") continue;
        // What is done holds no link, so going up from it is going up on the disk.
        if (part == "..") {
            done = done.parent_path();
            continue;
        }
        const fs::path next = done / part;
        auto st = files.status(next);
        if (!st || st->type != platform::FileType::Symlink) {
            done = next;
            continue;
        }
        auto target = files.readLink(next);
        if (!target || ++links > kMostLinks) return p;
        const fs::path to = platform::pathFromUtf8(*target);
        if (to.is_absolute()) done = to.root_path();
        const fs::path rel = to.relative_path();
        std::vector<fs::path> parts(rel.begin(), rel.end());
        todo.insert(todo.end(), parts.rbegin(), parts.rend());
    }
    return done;
}

bool linkOnTheWay(platform::IFileService& files, const fs::path& p) {
    fs::path q = p.root_path();
    for (const auto& part : p.relative_path()) {
        q /= part;
        if (auto st = files.status(q); st && st->type == platform::FileType::Symlink) return true;
    }
    return false;
}

}  // namespace

void HeldChoice::fail(Problem p, std::string detail) {
    m_problem = p;
    m_detail = std::move(detail);
    m_parent.reset();
    m_folder.reset();
}

HeldChoice HeldChoice::hold(platform::IFileService& files, const std::string& chosen, bool folder) {
    HeldChoice c;
    fs::path p = platform::pathFromUtf8(chosen);
    while (p.has_relative_path() && p.filename().empty()) p = p.parent_path();
    c.m_path = platform::utf8Of(p);
    if (p.empty()) {
        c.fail(Problem::Gone);
        return c;
    }
    const auto refused = [&](const fs::path& where, const platform::Error& e) {
        if (linkOnTheWay(files, where))
            c.fail(Problem::LinkOnTheWay);
        else
            c.fail(platform::isGone(e) ? Problem::Gone : Problem::Unreadable, e.message);
    };
    // The folders on the way are opened one by one, refusing links; a path the user reached
    // through a link (a home folder linked elsewhere) is resolved first, then held as it is now.
    const auto open = [&](fs::path& where) {
        auto d = files.openDirectoryNoLinks(where);
        if (d) return d;
        const fs::path resolved = linksResolved(files, where);
        if (resolved == where) return d;
        where = resolved;
        return files.openDirectoryNoLinks(where);
    };

    fs::path where = p;
    if (p.has_relative_path()) {
        c.m_name = platform::utf8Of(p.filename());
        fs::path above = p.parent_path().empty() ? fs::path(".") : p.parent_path();
        auto parent = open(above);
        if (!parent) {
            refused(above, parent.error());
            return c;
        }
        c.m_parent = std::move(*parent);
        c.m_parentAt = above;
        where = above / p.filename();
        auto seen = c.m_parent->statAt(c.m_name);
        if (!seen) {
            c.fail(Problem::Unreadable, seen.error().message);
            return c;
        }
        if (seen->type == platform::FileType::NotFound) {
            c.fail(Problem::Gone);
            return c;
        }
        c.m_seen = *seen;
    }
    if (!folder) return c;
    if (c.m_parent && c.m_seen.type != platform::FileType::Directory) {
        c.fail(Problem::Changed);
        return c;
    }
    auto held = files.openDirectoryNoLinks(where);
    if (!held) {
        refused(where, held.error());
        return c;
    }
    auto st = (*held)->status();
    if (!st) {
        c.fail(Problem::Unreadable, st.error().message);
        return c;
    }
    // Between the two opens the name may have been given to another folder.
    if (c.m_parent && st->identity() != c.m_seen.identity()) {
        c.fail(Problem::Changed);
        return c;
    }
    if (!c.m_parent) c.m_seen = *st;
    c.m_folder = std::move(*held);
    return c;
}

bool HeldChoice::stillAtPath(platform::IFileService& files) const {
    if (!m_parent) return true;
    // A look, not a second open: on Windows the held folder may refuse to be opened twice. A
    // link anywhere on the path shows the identity of whatever it leads to, or its own.
    auto there = files.status(m_parentAt);
    auto held = m_parent->status();
    return there && held && there->type == platform::FileType::Directory && there->identity() == held->identity();
}

}  // namespace quenvor::shredder
