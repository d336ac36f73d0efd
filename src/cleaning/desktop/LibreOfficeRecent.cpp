#include "cleaning/desktop/LibreOfficeRecent.h"

#include <algorithm>
#include <fstream>
#include <vector>

#include "cleaning/desktop/LibreOfficeRunning.h"
#include "cleaning/desktop/XmlAttribute.h"
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

bool isSpace(char c) { return XmlAttribute::isSpace(c); }

}  // namespace

std::optional<std::string> LibreOfficeRecent::withoutHistory(const std::string& xcu, std::set<std::string>* removed,
                                                             const std::set<std::string>* only) {
    if (removed) removed->clear();
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
        const auto path = XmlAttribute::of(std::string_view(xcu).substr(at, tagEnd - at), "oor:path");
        if (!path) return std::nullopt;
        const bool history = path->rfind(kHistories, 0) == 0 && (path->size() == std::string(kHistories).size() ||
                                                                 (*path)[std::string(kHistories).size()] == '/');
        if (history && (!only || only->contains(*path))) {
            out.append(xcu, copied, at - copied);
            // The line the item stood on goes with it.
            if (end < xcu.size() && xcu[end] == '\n') ++end;
            copied = end;
            if (removed) removed->insert(*path);
        }
        at = xcu.find("<item", end);
    }
    out.append(xcu, copied, std::string::npos);
    return out;
}

std::vector<LibreOfficeRecent::Found> LibreOfficeRecent::find() {
    const fs::path home = m_folders.homeFolder();
    std::vector<fs::path> files = {
        m_folders.configHome() / "libreoffice/4/user/registrymodifications.xcu",
        home / ".config/libreoffice/4/user/registrymodifications.xcu",
        home / ".var/app/org.libreoffice.LibreOffice/config/libreoffice/4/user/registrymodifications.xcu",
        home / "snap/libreoffice/current/.config/libreoffice/4/user/registrymodifications.xcu",
    };
    std::vector<fs::path> done;
    std::vector<Found> found;
    for (const auto& f : files) {
        const auto p = f.lexically_normal();
        if (std::find(done.begin(), done.end(), p) != done.end()) continue;
        done.push_back(p);
        const auto text = readIdle(p);
        if (!text) continue;
        Found one{p, {}, 0};
        const auto cleaned = withoutHistory(*text, &one.paths);
        if (!cleaned) {
            m_report.fail(common::CleanArea::Recent, platform::utf8Of(p),
                          "not laid out as LibreOffice writes it, left as it is");
            continue;
        }
        one.bytes = text->size() - cleaned->size();
        if (!one.paths.empty()) found.push_back(std::move(one));
    }
    return found;
}

void LibreOfficeRecent::clear() {
    for (const auto& f : find()) remove(f);
}

void LibreOfficeRecent::remove(const Found& found) {
    // LibreOffice may have started since, or rewritten the file.
    const auto text = readIdle(found.file);
    if (!text) return;
    std::set<std::string> removed;
    const auto cleaned = withoutHistory(*text, &removed, &found.paths);
    if (!cleaned) {
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(found.file),
                      "not laid out as LibreOffice writes it, left as it is");
        return;
    }
    if (removed.empty()) return;
    if (auto s = platform::AtomicFile::write(found.file, *cleaned); !s)
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(found.file), s.error().message);
    else
        m_report.removed(common::CleanArea::Recent, removed.size(), text->size() - cleaned->size());
}

std::optional<std::string> LibreOfficeRecent::readIdle(const fs::path& xcu) {
    auto st = m_files.status(xcu);
    if (!st || st->type == FileType::NotFound) return std::nullopt;
    // The settings file sits in "user" below the profile folder, where the lock is kept.
    const fs::path profile = xcu.parent_path().parent_path();
    if (LibreOfficeRunning::running(profile, m_files, m_processes)) {
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(profile), "LibreOffice is running", true,
                      "LibreOffice");
        return std::nullopt;
    }
    if (st->type != FileType::Regular) {
        // Replacing a link would cut it from the file LibreOffice really reads.
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xcu), "not a plain file, left as it is");
        return std::nullopt;
    }
    std::ifstream in(xcu, std::ios::binary);
    std::string text(static_cast<std::size_t>(kMaxFile) + 1, '\0');
    in.read(text.data(), kMaxFile + 1);
    if (in.bad() || in.gcount() > kMaxFile) {
        m_report.fail(common::CleanArea::Recent, platform::utf8Of(xcu), "could not be read whole, left as it is");
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return text;
}

}  // namespace quenvor::cleaning::desktop
