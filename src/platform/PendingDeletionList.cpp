#include "platform/PendingDeletionList.h"

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/Utf8Path.h"

namespace quenvor::platform {
namespace {

// Names may hold any byte but "/" and NUL, line breaks included: store them in hex.
std::string hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

bool unhex(const std::string& h, std::string& out) {
    if (h.size() % 2) return false;
    out.clear();
    for (std::size_t i = 0; i < h.size(); i += 2) {
        auto v = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
        const int a = v(h[i]), b = v(h[i + 1]);
        if (a < 0 || b < 0) return false;
        out += static_cast<char>(a * 16 + b);
    }
    return true;
}

}  // namespace

Result<PendingDeletionList::Listing> PendingDeletionList::read() const {
    Listing out;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        if (!std::filesystem::exists(m_file, ec) && !ec) return out;  // no list yet
        return Error{EIO, "cannot read " + utf8Of(m_file)};
    }
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty()) continue;
        std::istringstream fields(line);
        Entry e;
        std::string path;
        std::string decoded;
        if (!(fields >> e.device >> e.inode >> e.size >> e.modifiedNs >> path) || !unhex(path, decoded) ||
            decoded.empty()) {
            out.unreadableLines.push_back(line);
            continue;
        }
        e.path = pathFromUtf8(decoded);
        out.entries.push_back(e);
    }
    if (in.bad()) return Error{EIO, "cannot read " + utf8Of(m_file)};
    return out;
}

Result<std::vector<PendingDeletionList::Entry>> PendingDeletionList::entries() const {
    auto listing = read();
    if (!listing) return listing.error();
    return std::move(listing->entries);
}

Status PendingDeletionList::save(const std::vector<Entry>& list, const std::vector<std::string>& unreadable) const {
    std::ostringstream out;
    for (const auto& line : unreadable) out << line << '\n';
    for (const auto& e : list)
        out << e.device << ' ' << e.inode << ' ' << e.size << ' ' << e.modifiedNs << ' ' << hex(utf8Of(e.path)) << '\n';
    return AtomicFile::write(m_file, out.str());
}

Status PendingDeletionList::add(const std::filesystem::path& p, const FileStatus& st) {
    auto listing = read();
    if (!listing) return listing.error();
    auto& list = listing->entries;
    for (const auto& e : list)
        if (e.path == p && e.inode == st.inode && e.device == st.device) return {};
    list.push_back({p, st.device, st.inode, st.size, st.modifiedNs});
    return save(list, listing->unreadableLines);
}

Result<PendingDeletionList::RetryReport> PendingDeletionList::retry(IFileService& files) {
    auto listing = read();
    if (!listing) return listing.error();
    const auto& list = listing->entries;
    RetryReport report;
    report.unreadableLines = static_cast<int>(listing->unreadableLines.size());
    std::vector<Entry> keep;
    for (const auto& e : list) {
        auto st = files.status(e.path);
        const bool same = st && st->type == FileType::Regular && st->device == e.device && st->inode == e.inode &&
                          st->size == e.size && st->modifiedNs == e.modifiedNs;
        if (!same) {
            ++report.dropped;
            continue;
        }
        if (auto removed = files.remove(e.path)) {
            ++report.removed;
        } else {
            ++report.stillThere;
            report.kept.push_back({e.path, removed.error().message});
            keep.push_back(e);
        }
    }
    if (keep.size() != list.size()) {
        if (auto s = save(keep, listing->unreadableLines); !s) return s.error();
    }
    return report;
}

}  // namespace quenvor::platform
