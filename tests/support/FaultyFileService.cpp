#include "support/FaultyFileService.h"

namespace quenvor::test {
namespace {

class FaultyFile : public platform::IWritableFile {
public:
    FaultyFile(std::unique_ptr<platform::IWritableFile> real, FaultyFileService& owner)
        : m_real(std::move(real)), m_owner(owner) {}
    platform::Result<std::uint64_t> length() override { return m_real->length(); }
    platform::Status writeAt(std::uint64_t offset, std::span<const std::byte> data) override {
        if (++m_owner.writes == m_owner.failWriteAtCall) return platform::Error{5, "write: Input/output error"};
        return m_real->writeAt(offset, data);
    }
    platform::Status flushToDevice() override {
        if (++m_owner.flushes == m_owner.failFlushAtCall) return platform::Error{5, "flush: Input/output error"};
        return m_real->flushToDevice();
    }
    platform::Status truncate(std::uint64_t length) override { return m_real->truncate(length); }
    platform::Status close() override { return m_real->close(); }

private:
    std::unique_ptr<platform::IWritableFile> m_real;
    FaultyFileService& m_owner;
};

}  // namespace

platform::Result<std::unique_ptr<platform::IWritableFile>> FaultyFileService::openInPlace(
    const std::filesystem::path& p) {
    ++opens;
    if (failOpenFor.count(p.string()) || (readOnlyUntilMadeWritable && !writable.count(p.string())))
        return platform::Error{13, "cannot open " + p.string() + ": Permission denied"};
    auto f = m_real.openInPlace(p);
    if (!f) return f.error();
    return std::unique_ptr<platform::IWritableFile>(std::make_unique<FaultyFile>(std::move(*f), *this));
}

}  // namespace quenvor::test
