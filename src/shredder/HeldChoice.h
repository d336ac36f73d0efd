#pragma once
// What the user chose to shred, resolved once when they confirm and held open until the run
// ends: the folder that holds it and, for a folder, the folder itself. Whatever happens to the
// path afterwards (a folder on it renamed, exchanged for another, replaced by a link), the run
// works through what is held, and the choice is removed by its name only while that name still
// leads to it.
#include <memory>
#include <string>

#include "platform/IFileService.h"

namespace quenvor::shredder {

class HeldChoice {
public:
    enum class Problem {
        None,
        Gone,          // nothing under that name any more
        Changed,       // the name leads to something else than what was looked at
        LinkOnTheWay,  // a folder on the path became a link after the path was resolved
        Unreadable,    // the system refused; `detail` says why
    };

    // Folders on the way that are links are resolved once, here, as the user saw them when they
    // confirmed; from then on nothing is looked up by path again.
    static HeldChoice hold(platform::IFileService& files, const std::string& chosen, bool folder);

    bool ok() const { return m_problem == Problem::None; }
    Problem problem() const { return m_problem; }
    const std::string& detail() const { return m_detail; }
    // As chosen (without trailing separators), for messages and the names of what lies below.
    const std::string& path() const { return m_path; }
    // Its name in the parent; empty for the root of a tree, which has no parent to leave.
    const std::string& name() const { return m_name; }
    platform::IDirectory* parent() const { return m_parent.get(); }
    platform::IDirectory* folder() const { return m_folder.get(); }
    // For the removal at the end, which lets the folder go before its name is removed.
    std::unique_ptr<platform::IDirectory> takeFolder() { return std::move(m_folder); }
    // What the parent's entry was when it was held.
    const platform::FileStatus& seen() const { return m_seen; }
    // False once the path no longer leads to the held parent (a folder on the way was moved,
    // exchanged or replaced by a link): what the path shows now was never part of the run.
    bool stillAtPath(platform::IFileService& files) const;

private:
    void fail(Problem p, std::string detail = {});

    Problem m_problem = Problem::None;
    std::string m_detail, m_path, m_name;
    std::filesystem::path m_parentAt;  // where the parent was opened, links on the way resolved
    std::unique_ptr<platform::IDirectory> m_parent, m_folder;
    platform::FileStatus m_seen;
};

}  // namespace quenvor::shredder
