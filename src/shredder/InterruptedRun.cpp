#include "shredder/InterruptedRun.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <fstream>
#include <system_error>
#include <utility>
#include <vector>

#include "platform/AtomicFile.h"
#include "platform/Utf8Path.h"

namespace quenvor::shredder {
namespace {

constexpr std::string_view kHeader = "quenvor interrupted shred 1";
// Far above any real record (two paths in hex); anything longer was not written by us.
constexpr std::size_t kMaxRecord = std::size_t{64} * 1024;
constexpr std::int32_t kMaxPasses = 1024;
// Its passes take far longer than an update of the record.
constexpr std::uint64_t kBigFile = std::uint64_t{1024} * 1024;

// Names may hold any byte but "/" and NUL, line breaks included.
std::string hex(const std::string& s) {
    static constexpr char digits[] = "0123456789abcdef";
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

std::optional<std::string> unhex(std::string_view h) {
    if (h.empty() || h.size() % 2) return std::nullopt;
    const auto digit = [](char c) { return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1; };
    std::string out;
    for (std::size_t i = 0; i < h.size(); i += 2) {
        const int a = digit(h[i]), b = digit(h[i + 1]);
        if (a < 0 || b < 0 || (a == 0 && b == 0)) return std::nullopt;
        out += static_cast<char>(a * 16 + b);
    }
    return out;
}

std::vector<std::string_view> words(std::string_view line) {
    std::vector<std::string_view> out;
    for (std::size_t at = 0; at <= line.size();) {
        const auto space = std::min(line.find(' ', at), line.size());
        out.push_back(line.substr(at, space - at));
        at = space + 1;
    }
    return out;
}

template <class T>
bool number(std::string_view w, T& out) {
    const auto r = std::from_chars(w.data(), w.data() + w.size(), out);
    return !w.empty() && r.ec == std::errc() && r.ptr == w.data() + w.size();
}

std::filesystem::path absolutePath(const std::filesystem::path& p) {
    std::error_code ec;
    auto out = std::filesystem::absolute(p, ec);
    return ec ? p : out;
}

std::string named(const std::filesystem::path& p, platform::FileIdentity id) {
    return std::to_string(id.device) + ' ' + std::to_string(id.inode) + ' ' + hex(platform::utf8Of(p));
}

// "<device> <inode> <hex path>" from `w` on.
bool readNamed(const std::vector<std::string_view>& w, std::size_t from, std::filesystem::path& p,
               platform::FileIdentity& id) {
    if (w.size() != from + 3 || !number(w[from], id.device) || !number(w[from + 1], id.inode)) return false;
    const auto path = unhex(w[from + 2]);
    if (!path) return false;
    p = platform::pathFromUtf8(*path);
    return p.is_absolute();
}

}  // namespace

std::string InterruptedRun::format(const Record& r) {
    std::string out(kHeader);
    out += "\nprocess " + std::to_string(r.process);
    out += "\nchoice ";
    out += r.folder ? "folder " : "file ";
    out += named(r.choice, r.choiceId);
    out += "\npasses " + std::to_string(r.passes);
    out += "\nfinished " + std::to_string(r.finished);
    if (!r.current.empty()) out += "\ncurrent " + named(r.current, r.currentId);
    out += "\nend\n";
    return out;
}

std::optional<InterruptedRun::Record> InterruptedRun::parse(std::string_view text) {
    if (text.size() > kMaxRecord || text.empty() || text.back() != '\n') return std::nullopt;
    text.remove_suffix(1);
    std::vector<std::vector<std::string_view>> lines;
    for (std::size_t at = 0; at <= text.size();) {
        const auto nl = std::min(text.find('\n', at), text.size());
        lines.push_back(words(text.substr(at, nl - at)));
        at = nl + 1;
    }
    // header, process, choice, passes, finished, [current], end
    if (lines.size() != 6 && lines.size() != 7) return std::nullopt;
    const auto is = [&](std::size_t i, std::string_view w) { return !lines[i].empty() && lines[i][0] == w; };
    Record r;
    if (words(kHeader) != lines[0]) return std::nullopt;
    if (!is(1, "process") || lines[1].size() != 2 || !number(lines[1][1], r.process) || r.process < 0)
        return std::nullopt;
    if (!is(2, "choice") || lines[2].size() < 2) return std::nullopt;
    if (lines[2][1] != "folder" && lines[2][1] != "file") return std::nullopt;
    r.folder = lines[2][1] == "folder";
    if (!readNamed(lines[2], 2, r.choice, r.choiceId)) return std::nullopt;
    if (!is(3, "passes") || lines[3].size() != 2 || !number(lines[3][1], r.passes) || r.passes < 0 ||
        r.passes > kMaxPasses)
        return std::nullopt;
    if (!is(4, "finished") || lines[4].size() != 2 || !number(lines[4][1], r.finished)) return std::nullopt;
    if (lines.size() == 7 && (!is(5, "current") || !readNamed(lines[5], 1, r.current, r.currentId)))
        return std::nullopt;
    if (lines.back().size() != 1 || lines.back()[0] != "end") return std::nullopt;
    return r;
}

platform::Status InterruptedRun::begin(bool folder, const std::filesystem::path& choice, std::int32_t passes) {
    m_record = {};
    m_record.process = m_process;
    m_record.folder = folder;
    m_record.choice = absolutePath(choice);
    m_record.passes = passes;
    if (auto st = m_files.status(choice); st) m_record.choiceId = st->identity();
    m_running = true;
    m_due = false;
    m_written = std::chrono::steady_clock::now();
    return platform::AtomicFile::write(m_file, format(m_record));
}

platform::Status InterruptedRun::fileBegins(const std::filesystem::path& file, std::int32_t passes) {
    if (!m_running) return {};
    const bool first = m_record.current.empty();
    m_record.current = absolutePath(file);
    m_record.currentId = {};
    m_record.passes = passes;
    std::uint64_t size = 0;
    if (auto st = m_files.status(file); st) {
        m_record.currentId = st->identity();
        size = st->size;
    }
    m_due = true;
    if (first || size >= kBigFile || std::chrono::steady_clock::now() - m_written >= m_interval) return write();
    return {};
}

platform::Status InterruptedRun::passDone() {
    if (!m_running || !m_due || std::chrono::steady_clock::now() - m_written < m_interval) return {};
    return write();
}

platform::Status InterruptedRun::write() {
    m_due = false;
    m_written = std::chrono::steady_clock::now();
    return platform::AtomicFile::write(m_file, format(m_record), platform::AtomicFile::Flush::No);
}

platform::Status InterruptedRun::end() {
    if (!std::exchange(m_running, false)) return {};
    return forget();
}

InterruptedRun::Loaded InterruptedRun::load() const {
    Loaded out;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) {
        std::error_code ec;
        out.damaged = std::filesystem::exists(m_file, ec) || ec;
        return out;
    }
    std::string text;
    text.resize(kMaxRecord + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        out.damaged = true;
        return out;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    out.record = parse(text);
    out.damaged = !out.record;
    return out;
}

platform::Status InterruptedRun::forget() const {
    std::error_code ec;
    std::filesystem::remove(m_file, ec);
    if (ec) return platform::Error{ec.value(), "cannot remove " + platform::utf8Of(m_file) + ": " + ec.message()};
    return {};
}

}  // namespace quenvor::shredder
