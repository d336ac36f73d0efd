#include "platform/linux/MountTable.h"

#include <sys/sysmacros.h>

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>

namespace quenvor::platform {
namespace {

std::string readWhole(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return {};
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Paths in the mounts table escape space, tab, newline and backslash as three octal digits.
std::string unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 4 <= s.size() &&
            std::all_of(s.begin() + static_cast<std::ptrdiff_t>(i) + 1, s.begin() + static_cast<std::ptrdiff_t>(i) + 4,
                        [](char c) { return c >= '0' && c <= '7'; })) {
            out += static_cast<char>((s[i + 1] - '0') * 64 + (s[i + 2] - '0') * 8 + (s[i + 3] - '0'));
            i += 3;
        } else {
            out += s[i];
        }
    }
    return out;
}

// The whole word as a decimal number, or nothing.
template <typename T>
std::optional<T> number(std::string_view w) {
    T n{};
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), n);
    if (ec != std::errc() || end != w.data() + w.size()) return std::nullopt;
    return n;
}

std::vector<std::string_view> fields(std::string_view line) {
    std::vector<std::string_view> out;
    std::size_t pos = 0;
    while ((pos = line.find_first_not_of(" \t", pos)) != std::string_view::npos) {
        const std::size_t end = std::min(line.find_first_of(" \t", pos), line.size());
        out.push_back(line.substr(pos, end - pos));
        pos = end;
    }
    return out;
}

// id parent major:minor root mountpoint options [optional...] - type source superoptions
std::optional<MountTable::Entry> entryOf(std::string_view line) {
    const auto f = fields(line);
    const auto dash = std::find(f.begin(), f.end(), "-");
    if (dash == f.end() || dash - f.begin() < 6 || f.end() - dash < 4) return std::nullopt;
    MountTable::Entry m;
    const auto id = number<int>(f[0]);
    const auto colon = f[2].find(':');
    if (!id || colon == std::string_view::npos) return std::nullopt;
    const auto major = number<unsigned>(f[2].substr(0, colon));
    const auto minor = number<unsigned>(f[2].substr(colon + 1));
    if (!major || !minor) return std::nullopt;
    m.mountId = *id;
    m.major = *major;
    m.minor = *minor;
    m.root = unescape(f[3]);
    m.mountPoint = unescape(f[4]);
    m.fsType = unescape(*(dash + 1));
    m.source = unescape(*(dash + 2));
    m.superOptions = std::string(*(dash + 3));
    return m;
}

// Splits an overlay's list of lower folders. A colon inside a folder name is written "\:".
std::vector<std::filesystem::path> splitLayers(std::string_view list) {
    std::vector<std::filesystem::path> out;
    std::string one;
    const auto flush = [&] {
        if (!one.empty()) out.emplace_back(one);
        one.clear();
    };
    for (std::size_t i = 0; i < list.size(); ++i) {
        if (list[i] == '\\' && i + 1 < list.size() && list[i + 1] == ':') {
            one += ':';
            ++i;
        } else if (list[i] == ':') {
            flush();
        } else {
            one += list[i];
        }
    }
    flush();
    return out;
}

// Calls `each` with every item of a comma-separated list, empty ones included.
template <typename F>
void forEachOption(std::string_view options, F each) {
    std::size_t start = 0;
    while (start <= options.size()) {
        std::size_t end = options.find(',', start);
        if (end == std::string_view::npos) end = options.size();
        if (each(options.substr(start, end - start))) return;
        start = end + 1;
    }
}

}  // namespace

MountTable MountTable::parse(std::string_view text) {
    MountTable t;
    while (!text.empty()) {
        const std::size_t lf = std::min(text.find('\n'), text.size());
        if (auto e = entryOf(text.substr(0, lf))) t.m_entries.push_back(std::move(*e));
        text.remove_prefix(std::min(lf + 1, text.size()));
    }
    return t;
}

MountTable MountTable::read(const std::filesystem::path& mountInfo) { return parse(readWhole(mountInfo)); }

const MountTable::Entry* MountTable::find(std::uint64_t dev, std::optional<int> mountId) const {
    if (mountId) {
        for (const auto& m : m_entries)
            if (m.mountId == *mountId) return &m;
    }
    for (const auto& m : m_entries)
        if (m.major == ::major(dev) && m.minor == ::minor(dev)) return &m;
    return nullptr;
}

bool MountTable::hasOption(std::string_view options, std::string_view wanted) {
    bool found = false;
    forEachOption(options, [&](std::string_view o) { return found = o == wanted; });
    return found;
}

std::string MountTable::ext4Options(const std::filesystem::path& sysRoot, const std::filesystem::path& procFs,
                                    std::uint64_t dev) {
    if (::major(dev) == 0) return {};
    std::error_code ec;
    // The filesystem's folder there is named as the kernel names the block device.
    const auto node = std::filesystem::canonical(
        sysRoot / "dev" / "block" / (std::to_string(::major(dev)) + ":" + std::to_string(::minor(dev))), ec);
    if (ec || node.filename().empty()) return {};
    // One option a line; the mounts table's own form is one list with commas.
    std::string options = readWhole(procFs / "ext4" / node.filename() / "options");
    std::replace(options.begin(), options.end(), '\n', ',');
    return options;
}

MountTable::OverlayLayers MountTable::overlayLayers(std::string_view superOptions) {
    OverlayLayers out;
    forEachOption(superOptions, [&](std::string_view o) {
        const auto value = [&](std::string_view key) -> std::optional<std::string_view> {
            if (o.substr(0, key.size()) != key) return std::nullopt;
            return o.substr(key.size());
        };
        if (auto v = value("upperdir=")) {
            out.upper = unescape(*v);
        } else if (auto l = value("lowerdir="); l || (l = value("lowerdir+="))) {
            for (auto& p : splitLayers(unescape(*l))) out.lowers.push_back(std::move(p));
        } else if (o == "metacopy=on") {
            out.metacopy = true;
        }
        return false;
    });
    return out;
}

}  // namespace quenvor::platform
