#include "shredder/PendingFill.h"

#include <charconv>
#include <fstream>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/ErrorKinds.h"
#include "platform/IProcessTable.h"
#include "platform/Utf8Path.h"

namespace quenvor::shredder {
namespace {

constexpr std::string_view kHeader = "quenvor free-space fill 1";
constexpr std::size_t kMaxRecord = std::size_t{64} * 1024;

// A path may hold line breaks; these two bytes and "%" are written as escapes.
std::string escaped(const std::string& s) {
    std::string out;
    for (const char c : s) {
        if (c == '%')
            out += "%25";
        else if (c == '\n')
            out += "%0A";
        else if (c == '\r')
            out += "%0D";
        else
            out += c;
    }
    return out;
}

std::optional<std::string> unescaped(std::string_view s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        const std::string_view code = s.substr(i + 1, 2);
        if (code == "25")
            out += '%';
        else if (code == "0A")
            out += '\n';
        else if (code == "0D")
            out += '\r';
        else
            return std::nullopt;
        i += 2;
    }
    return out;
}

template <class T>
bool number(std::string_view w, T& out) {
    const auto r = std::from_chars(w.data(), w.data() + w.size(), out);
    return r.ec == std::errc() && r.ptr == w.data() + w.size();
}

bool safeName(const std::string& n) {
    return !n.empty() && n != "." && n != ".." && n.find_first_of("/\\:") == std::string::npos;
}

}  // namespace

std::string PendingFill::format(const Record& r) {
    std::ostringstream out;
    out << kHeader << "\nprocess " << r.process << "\nfolder " << escaped(platform::utf8Of(r.folder)) << "\nid "
        << r.folderId.device << ' ' << r.folderId.inode << "\nfill " << r.fill << "\nnames " << r.names << "\n";
    return out.str();
}

std::optional<PendingFill::Record> PendingFill::parse(std::string_view text) {
    Record r;
    bool folder = false, id = false;
    std::size_t line = 0;
    for (std::size_t at = 0; at < text.size(); ++line) {
        const auto end = text.find('\n', at);
        if (end == std::string_view::npos) return std::nullopt;  // cut short
        const std::string_view l = text.substr(at, end - at);
        at = end + 1;
        if (line == 0) {
            if (l != kHeader) return std::nullopt;
            continue;
        }
        const auto space = l.find(' ');
        if (space == std::string_view::npos) return std::nullopt;
        const std::string_view key = l.substr(0, space), value = l.substr(space + 1);
        if (key == "process") {
            if (!number(value, r.process)) return std::nullopt;
        } else if (key == "folder") {
            auto p = unescaped(value);
            if (!p || p->empty()) return std::nullopt;
            r.folder = platform::pathFromUtf8(*p);
            folder = true;
        } else if (key == "id") {
            const auto gap = value.find(' ');
            if (gap == std::string_view::npos || !number(value.substr(0, gap), r.folderId.device) ||
                !number(value.substr(gap + 1), r.folderId.inode))
                return std::nullopt;
            id = true;
        } else if (key == "fill") {
            r.fill = std::string(value);
        } else if (key == "names") {
            r.names = std::string(value);
        } else {
            return std::nullopt;
        }
    }
    // A name that could reach outside the chosen folder was not written by us.
    if (!folder || !id || !safeName(r.fill) || !safeName(r.names)) return std::nullopt;
    return r;
}

platform::Status PendingFill::begin(const Record& r) {
    std::error_code ec;
    std::filesystem::create_directories(m_file.parent_path(), ec);
    if (ec)
        return platform::Error{ec.value(),
                               "cannot create " + platform::utf8Of(m_file.parent_path()) + ": " + ec.message()};
    return platform::AtomicFile::write(m_file, format(r));
}

platform::Status PendingFill::forget() const {
    auto s = m_files.remove(m_file);
    if (!s && platform::isGone(s.error())) return {};
    return s;
}

PendingFill::Loaded PendingFill::load() const {
    Loaded out;
    auto st = m_files.status(m_file);
    if (st && st->type == platform::FileType::NotFound) return out;
    if (!st || st->type != platform::FileType::Regular || st->size > kMaxRecord) {
        out.damaged = true;
        return out;
    }
    std::ifstream in(m_file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    out.record = parse(text.str());
    out.damaged = !out.record;
    return out;
}

PendingFill::Cleanup PendingFill::cleanUp(platform::IProcessTable* processes) {
    Cleanup c;
    const Loaded loaded = load();
    if (loaded.damaged) {
        c.found = c.damaged = true;
        c.forgotten = forget().ok();
        return c;
    }
    if (!loaded.record) return c;
    const Record& r = *loaded.record;
    // Started again while a wipe goes on: that fill is still being written, and is its own.
    if (r.process != 0 && processes && r.process != processes->currentProcessId() && processes->processAlive(r.process))
        return c;
    c.found = true;
    c.fill = r.folder / platform::pathFromUtf8(r.fill);
    const auto leave = [&](const std::string& what, const std::string& why) { c.left.push_back(what + ": " + why); };

    auto folder = m_files.openDirectoryNoLinks(r.folder);
    if (!folder) {
        // With the chosen folder gone, so is what was in it; unreadable, it is left and said.
        if (!platform::isGone(folder.error())) leave(platform::utf8Of(c.fill), folder.error().message);
    } else if (auto st = (*folder)->status(); !st || st->identity() != r.folderId) {
        // Another folder under that name now: the recorded fill is not in it.
    } else {
        const auto removeFile = [&](platform::IDirectory& in, const std::string& name) {
            auto s = in.statAt(name);
            if (!s || s->type != platform::FileType::Regular) return false;
            if (auto gone = in.unlinkAt(name, false); !gone) {
                leave(platform::utf8Of(in.path() / platform::pathFromUtf8(name)), gone.error().message);
                return false;
            }
            ++c.files;
            c.bytes += s->size;
            return true;
        };
        auto fillSt = (*folder)->statAt(r.fill);
        if (fillSt && fillSt->type == platform::FileType::Directory) {
            auto fill = (*folder)->openDir(r.fill);
            auto entries =
                fill ? (*fill)->list() : platform::Result<std::vector<platform::DirectoryEntry>>(fill.error());
            if (!entries) {
                leave(platform::utf8Of(c.fill), entries.error().message);
            } else {
                bool foreign = false;
                for (const auto& e : *entries) {
                    if (e.name.rfind(kFillFilePrefix, 0) != 0) {
                        foreign = true;  // never ours: stays, and so does the folder
                    } else if (auto s = (*fill)->statAt(e.name); s && s->type == platform::FileType::Directory) {
                        // The empty folders that push the journal round; one with anything in it
                        // was not made here, and the removal refuses it.
                        if (auto gone = (*fill)->unlinkAt(e.name, true); !gone && !platform::isGone(gone.error()))
                            leave(platform::utf8Of((*fill)->path() / platform::pathFromUtf8(e.name)),
                                  gone.error().message);
                    } else {
                        (void)removeFile(**fill, e.name);
                    }
                }
                (void)(*fill)->flush();
                fill->reset();
                if (foreign)
                    leave(platform::utf8Of(c.fill), "holds files that are not the fill's");
                else if (auto gone = (*folder)->unlinkAt(r.fill, true); !gone && !platform::isGone(gone.error()))
                    leave(platform::utf8Of(c.fill), gone.error().message);
            }
        } else if (fillSt && fillSt->type != platform::FileType::NotFound) {
            leave(platform::utf8Of(c.fill), "is not a folder");
        }
        if (auto entries = (*folder)->list())
            for (const auto& e : *entries)
                if (e.name.size() > r.names.size() && e.name.rfind(r.names, 0) == 0) (void)removeFile(**folder, e.name);
        (void)(*folder)->flush();
    }
    if (c.left.empty()) c.forgotten = forget().ok();
    return c;
}

}  // namespace quenvor::shredder
