#include "platform/PendingDeletionList.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "platform/AtomicFile.h"

namespace quenvor::platform {
namespace {

// Names may hold any byte but "/" and NUL, line breaks included: store them in hex.
std::string hex(const std::string& s) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : s) {
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

Result<std::vector<PendingDeletionList::Entry>> PendingDeletionList::entries() const {
    std::vector<Entry> out;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) return out;  // no list yet
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        Entry e;
        std::string path;
        if (!(fields >> e.device >> e.inode >> e.size >> e.modifiedNs >> path)) continue;
        std::string decoded;
        if (!unhex(path, decoded) || decoded.empty()) continue;
        e.path = decoded;
        out.push_back(e);
    }
    return out;
}

Status PendingDeletionList::save(const std::vector<Entry>& list) const {
    std::ostringstream out;
    for (const auto& e : list)
        out << e.device << ' ' << e.inode << ' ' << e.size << ' ' << e.modifiedNs << ' ' << hex(e.path.string())
            << '\n';
    return AtomicFile::write(m_file, out.str());
}

Status PendingDeletionList::add(const std::filesystem::path& p, const FileStatus& st) {
    auto list = entries();
    if (!list) return list.status();
    for (const auto& e : *list)
        if (e.path == p && e.inode == st.inode && e.device == st.device) return {};
    list->push_back({p, st.device, st.inode, st.size, st.modifiedNs});
    return save(*list);
}

Result<PendingDeletionList::RetryReport> PendingDeletionList::retry(IFileService& files) {
    auto list = entries();
    if (!list) return list.error();
    RetryReport report;
    std::vector<Entry> keep;
    for (const auto& e : *list) {
        auto st = files.status(e.path);
        const bool same = st && st->type == FileType::Regular && st->device == e.device && st->inode == e.inode &&
                          st->size == e.size && st->modifiedNs == e.modifiedNs;
        if (!same) {
            ++report.dropped;
            continue;
        }
        if (files.remove(e.path)) {
            ++report.removed;
        } else {
            ++report.stillThere;
            keep.push_back(e);
        }
    }
    if (keep.size() != list->size()) {
        if (auto s = save(keep); !s) return s.error();
    }
    return report;
}

}  // namespace quenvor::platform
