#include "cleaning/desktop/LibreOfficeRecent.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "cleaning/desktop/LibreOfficeRunning.h"
#include "platform/AtomicFile.h"
#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::desktop {

using platform::FileType;
namespace fs = std::filesystem;

namespace {

constexpr const char* kHistories = "/org.openoffice.Office.Histories";
// Settings files are a few hundred kilobytes; a far larger one is not read into memory.
constexpr std::streamsize kMaxFile = 64 << 20;

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The value of `name` in a start tag, either quote accepted.
std::optional<std::string> attribute(std::string_view tag, std::string_view name) {
    for (std::size_t at = tag.find(name); at != std::string_view::npos; at = tag.find(name, at + 1)) {
        if (at == 0 || !isSpace(tag[at - 1])) continue;
        std::size_t i = at + name.size();
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || tag[i] != '=') continue;
        ++i;
        while (i < tag.size() && isSpace(tag[i])) ++i;
        if (i >= tag.size() || (tag[i] != '"' && tag[i] != '\'')) return std::nullopt;
        const char quote = tag[i];
        const auto end = tag.find(quote, i + 1);
        if (end == std::string_view::npos) return std::nullopt;
        return std::string(tag.substr(i + 1, end - i - 1));
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> LibreOfficeRecent::withoutHistory(const std::string& xcu, std::size_t* removed) {
    if (removed) *removed = 0;
    const auto root = xcu.find("<oor:items");
    const auto rootEnd = xcu.rfind("</oor:items>");
    if (root == std::string::npos || rootEnd == std::string::npos || rootEnd < root) return std::nullopt;
    for (std::size_t i = rootEnd + 12; i < xcu.size(); ++i)
        if (!isSpace(xcu[i])) return std::nullopt;

    std::string out;
    out.reserve(xcu.size());
    std::size_t copied = 0;
    std::size_t at = xcu.find("<item", root);
    while (at != std::string::npos && at < rootEnd) {
        const std::size_t after = at + 5;
        if (after >= xcu.size() || (!isSpace(xcu[after]) && xcu[after] != '>' && xcu[after] != '/')) {
            at = xcu.find("<item", after);
            continue;
        }
        const auto tagEnd = xcu.find('>', at);
        if (tagEnd == std::string::npos || tagEnd > rootEnd) return std::nullopt;
        std::size_t end = 0;
        if (xcu[tagEnd - 1] == '/') {
            end = tagEnd + 1;
        } else {
            // Items do not nest, and '<' inside a value is always escaped.
            const auto close = xcu.find("</item>", tagEnd);
            if (close == std::string::npos || close > rootEnd) return std::nullopt;
            const auto nextItem = xcu.find("<item", tagEnd);
            if (nextItem != std::string::npos && nextItem < close) return std::nullopt;
            end = close + 7;
        }
        const auto path = attribute(std::string_view(xcu).substr(at, tagEnd - at), "oor:path");
        if (!path) return std::nullopt;
        const bool history = path->rfind(kHistories, 0) == 0 && (path->size() == std::string(kHistories).size() ||
                                                                 (*path)[std::string(kHistories).size()] == '/');
        if (history) {
            out.append(xcu, copied, at - copied);
            // The line the item stood on goes with it.
            if (end < xcu.size() && xcu[end] == '\n') ++end;
            copied = end;
            if (removed) ++*removed;
        }
        at = xcu.find("<item", end);
    }
    out.append(xcu, copied, std::string::npos);
    return out;
}

void LibreOfficeRecent::clear() {
    const fs::path home = m_folders.homeFolder();
    std::vector<fs::path> files = {
        m_folders.configHome() / "libreoffice/4/user/registrymodifications.xcu",
        home / ".config/libreoffice/4/user/registrymodifications.xcu",
        home / ".var/app/org.libreoffice.LibreOffice/config/libreoffice/4/user/registrymodifications.xcu",
        home / "snap/libreoffice/current/.config/libreoffice/4/user/registrymodifications.xcu",
    };
    std::vector<fs::path> done;
    for (const auto& f : files) {
        const auto p = f.lexically_normal();
        if (std::find(done.begin(), done.end(), p) != done.end()) continue;
        done.push_back(p);
        clearFile(p);
    }
}

void LibreOfficeRecent::clearFile(const fs::path& xcu) {
    auto st = m_files.status(xcu);
    if (!st || st->type == FileType::NotFound) return;
    // The settings file sits in "user" below the profile folder, where the lock is kept.
    const fs::path profile = xcu.parent_path().parent_path();
    if (LibreOfficeRunning::running(profile, m_files, m_processes)) {
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(profile), "LibreOffice is running", true,
                      "LibreOffice");
        return;
    }
    if (st->type != FileType::Regular) {
        // Replacing a link would cut it from the file LibreOffice really reads.
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xcu), "not a plain file, left as it is");
        return;
    }
    std::ifstream in(xcu, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxFile) + 1, '\0');
    in.read(text.data(), kMaxFile + 1);
    if (in.bad() || in.gcount() > kMaxFile) {
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xcu), "could not be read whole, left as it is");
        return;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    std::size_t removed = 0;
    const auto cleaned = withoutHistory(text, &removed);
    if (!cleaned) {
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xcu),
                      "not laid out as LibreOffice writes it, left as it is");
        return;
    }
    if (removed == 0) return;
    if (auto s = platform::AtomicFile::write(xcu, *cleaned); !s)
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xcu), s.error().message);
}

}  // namespace quenvor::cleaning::desktop
