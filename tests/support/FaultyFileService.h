#pragma once
// The real file service with failures injected on demand (the tests run as root, which
// ignores file modes, so permission trouble has to be simulated here), a record of calls, and
// a hook run before each call on an open folder or file, where a test can change the folder
// between two steps of the code under test exactly when it wants to.
#include <cerrno>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/IFileService.h"

namespace quenvor::test {

class FaultyFileService : public platform::IFileService {
public:
    explicit FaultyFileService(platform::IFileService& real) : m_real(real) {}

    std::set<std::string> failOpenFor;       // paths whose open fails (EACCES)
    std::set<std::string> failListFor;       // folders whose listing fails (EACCES)
    bool readOnlyUntilMadeWritable = false;  // every open fails until setWritable ran on it
    int failWriteAtCall = -1;                // 1-based count of writeAt calls
    int failFlushAtCall = -1;
    int failWriteCode = EIO;  // what the failed write or flush says (ENOSPC: the disk is full)
    std::set<std::string> failRemoveFor;
    bool failRemoveAtNextStart = false;
    std::vector<std::pair<std::string, std::string>> renames;
    std::vector<std::string> madeWritable, flushedDirs, removed, listed;
    int writes = 0, flushes = 0, opens = 0;
    // Called with the call's name ("statAt", "openFile", "openDir", "list", "renameAt",
    // "unlinkAt", "write", "flushFile", "truncate" ...) and the full path it is about.
    std::function<void(const std::string& call, const std::string& path)> beforeCall;

    platform::Result<std::unique_ptr<platform::IDirectory>> openDirectory(const std::filesystem::path& p) override;

    platform::Result<std::unique_ptr<platform::IDirectory>> openDirectoryNoLinks(
        const std::filesystem::path& p) override;

    platform::Result<platform::FileStatus> status(const std::filesystem::path& p) override {
        auto s = m_real.status(p);
        if (s && readOnlyUntilMadeWritable && !writable.contains(p.string())) s->readOnly = true;
        return s;
    }
    platform::Result<std::unique_ptr<platform::IWritableFile>> openInPlace(const std::filesystem::path& p) override;
    platform::Status remove(const std::filesystem::path& p) override {
        if (failRemoveFor.contains(p.string()) || failRemoveFor.contains("*"))
            return platform::Error{1, "cannot remove " + p.string() + ": Operation not permitted"};
        removed.push_back(p.string());
        return m_real.remove(p);
    }
    platform::Status removeAtNextStart(const std::filesystem::path& p) override {
        if (failRemoveAtNextStart) return platform::Error{28, "no room for the pending list"};
        return m_real.removeAtNextStart(p);
    }
    platform::Status rename(const std::filesystem::path& from, const std::filesystem::path& to) override {
        renames.emplace_back(from.string(), to.string());
        if (failRemoveFor.contains("*")) return platform::Error{1, "Operation not permitted"};
        auto s = m_real.rename(from, to);
        if (s && failRemoveFor.contains(from.string())) failRemoveFor.insert(to.string());
        return s;
    }
    platform::Status setWritable(const std::filesystem::path& p) override {
        madeWritable.push_back(p.string());
        writable.insert(p.string());
        return m_real.setWritable(p);
    }
    platform::Status flushDirectory(const std::filesystem::path& dir) override {
        flushedDirs.push_back(dir.string());
        return m_real.flushDirectory(dir);
    }
    platform::Result<std::vector<platform::DirectoryEntry>> list(const std::filesystem::path& dir) override {
        if (failListFor.contains(dir.string())) return platform::Error{EACCES, "Permission denied"};
        listed.push_back(dir.string());
        return m_real.list(dir);
    }
    platform::Result<std::string> readLink(const std::filesystem::path& link) override { return m_real.readLink(link); }
    std::string shortForm(const std::filesystem::path& p) override { return m_real.shortForm(p); }
    std::vector<std::filesystem::path> fixedDiskRoots() override { return m_real.fixedDiskRoots(); }

    std::set<std::string> writable;

private:
    platform::IFileService& m_real;
};

}  // namespace quenvor::test
