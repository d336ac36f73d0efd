#include "support/FaultyFileService.h"

#include <cerrno>
#include <cstring>

namespace quenvor::test {
namespace {

class FaultyFile : public platform::IWritableFile {
public:
    FaultyFile(std::unique_ptr<platform::IWritableFile> real, FaultyFileService& owner, std::string path)
        : m_real(std::move(real)), m_owner(owner), m_path(std::move(path)) {}
    platform::Result<platform::FileStatus> status() override { return m_real->status(); }
    std::intptr_t nativeHandle() const override { return m_real->nativeHandle(); }
    platform::Result<std::uint64_t> length() override { return m_real->length(); }
    platform::Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
        hook("write");
        if (++m_owner.writes == m_owner.failWriteAtCall) return failure("write");
        return m_real->writeAt(offset, data);
    }
    platform::Result<std::vector<platform::ByteRange>> dataRanges() override { return m_real->dataRanges(); }
    platform::Result<std::uint64_t> allocatedBytes() override { return m_real->allocatedBytes(); }
    platform::Status releaseRange(std::uint64_t offset, std::uint64_t length) override {
        return m_real->releaseRange(offset, length);
    }
    platform::Status flushToDevice() override {
        hook("flushFile");
        if (++m_owner.flushes == m_owner.failFlushAtCall) return failure("flush");
        return m_real->flushToDevice();
    }
    platform::Status truncate(std::uint64_t length) override {
        hook("truncate");
        return m_real->truncate(length);
    }
    platform::Status close() override { return m_real->close(); }

private:
    void hook(const char* call) {
        if (m_owner.beforeCall) m_owner.beforeCall(call, m_path);
    }
    platform::Error failure(const std::string& call) const {
        return {m_owner.failWriteCode, call + ": " + std::strerror(m_owner.failWriteCode)};
    }
    std::unique_ptr<platform::IWritableFile> m_real;
    FaultyFileService& m_owner;
    std::string m_path;
};

class FaultyDirectory : public platform::IDirectory {
public:
    FaultyDirectory(std::unique_ptr<platform::IDirectory> real, FaultyFileService& owner)
        : m_real(std::move(real)), m_owner(owner) {}

    const std::filesystem::path& path() const override { return m_real->path(); }
    platform::Result<platform::FileStatus> status() override {
        hook("status", path().string());
        return readOnlyUnlessMadeWritable(m_real->status(), path().string());
    }
    platform::Result<std::vector<platform::DirectoryEntry>> list() override {
        hook("list", path().string());
        if (m_owner.failListFor.contains(path().string())) return platform::Error{EACCES, "Permission denied"};
        return m_real->list();
    }
    platform::Result<platform::FileStatus> statAt(const std::string& name) override {
        const auto p = full(name);
        hook("statAt", p);
        return readOnlyUnlessMadeWritable(m_real->statAt(name), p);
    }
    platform::Result<std::unique_ptr<platform::IWritableFile>> openFile(const std::string& name) override {
        const auto p = full(name);
        hook("openFile", p);
        ++m_owner.opens;
        if (m_owner.failOpenFor.contains(p) || (m_owner.readOnlyUntilMadeWritable && !m_owner.writable.contains(p)))
            return platform::Error{13, "cannot open " + p + ": Permission denied"};
        auto f = m_real->openFile(name);
        if (!f) return f.error();
        return std::unique_ptr<platform::IWritableFile>(std::make_unique<FaultyFile>(std::move(*f), m_owner, p));
    }
    platform::Result<std::unique_ptr<platform::IDirectory>> openDir(const std::string& name) override {
        hook("openDir", full(name));
        auto d = m_real->openDir(name);
        if (!d) return d.error();
        return std::unique_ptr<platform::IDirectory>(std::make_unique<FaultyDirectory>(std::move(*d), m_owner));
    }
    platform::Status renameAt(const std::string& from, const std::string& to) override {
        const auto f = full(from), t = full(to);
        hook("renameAt", f);
        m_owner.renames.emplace_back(f, t);
        if (m_owner.failRemoveFor.contains("*")) return platform::Error{1, "Operation not permitted"};
        auto s = m_real->renameAt(from, to);
        if (s && m_owner.failRemoveFor.contains(f)) m_owner.failRemoveFor.insert(t);
        return s;
    }
    platform::Status unlinkAt(const std::string& name, bool folder) override {
        const auto p = full(name);
        hook("unlinkAt", p);
        if (m_owner.failRemoveFor.contains(p) || m_owner.failRemoveFor.contains("*"))
            return platform::Error{1, "cannot remove " + p + ": Operation not permitted"};
        m_owner.removed.push_back(p);
        return m_real->unlinkAt(name, folder);
    }
    platform::Status setWritableAt(const std::string& name) override {
        const auto p = full(name);
        m_owner.madeWritable.push_back(p);
        m_owner.writable.insert(p);
        return m_real->setWritableAt(name);
    }
    platform::Status setWritable() override {
        m_owner.madeWritable.push_back(path().string());
        m_owner.writable.insert(path().string());
        return m_real->setWritable();
    }
    platform::Status flush() override {
        m_owner.flushedDirs.push_back(path().string());
        return m_real->flush();
    }
    std::intptr_t nativeHandle() const override { return m_real->nativeHandle(); }

private:
    std::string full(const std::string& name) const { return (path() / name).string(); }
    void hook(const char* call, const std::string& p) {
        if (m_owner.beforeCall) m_owner.beforeCall(call, p);
    }
    platform::Result<platform::FileStatus> readOnlyUnlessMadeWritable(platform::Result<platform::FileStatus> s,
                                                                      const std::string& p) {
        if (s && m_owner.readOnlyUntilMadeWritable && !m_owner.writable.contains(p)) s->readOnly = true;
        return s;
    }

    std::unique_ptr<platform::IDirectory> m_real;
    FaultyFileService& m_owner;
};

}  // namespace

platform::Result<std::unique_ptr<platform::IDirectory>> FaultyFileService::openDirectory(
    const std::filesystem::path& p) {
    auto d = m_real.openDirectory(p);
    if (!d) return d.error();
    return std::unique_ptr<platform::IDirectory>(std::make_unique<FaultyDirectory>(std::move(*d), *this));
}

platform::Result<std::unique_ptr<platform::IDirectory>> FaultyFileService::openDirectoryNoLinks(
    const std::filesystem::path& p) {
    auto d = m_real.openDirectoryNoLinks(p);
    if (!d) return d.error();
    return std::unique_ptr<platform::IDirectory>(std::make_unique<FaultyDirectory>(std::move(*d), *this));
}

platform::Result<std::unique_ptr<platform::IWritableFile>> FaultyFileService::openInPlace(
    const std::filesystem::path& p) {
    ++opens;
    if (failOpenFor.contains(p.string()) || (readOnlyUntilMadeWritable && !writable.contains(p.string())))
        return platform::Error{13, "cannot open " + p.string() + ": Permission denied"};
    auto f = m_real.openInPlace(p);
    if (!f) return f.error();
    return std::unique_ptr<platform::IWritableFile>(std::make_unique<FaultyFile>(std::move(*f), *this, p.string()));
}

}  // namespace quenvor::test
