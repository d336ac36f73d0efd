#include "shredder/ProtectedPaths.h"

#include <filesystem>
#include <optional>

#include "platform/IFileService.h"
#include "platform/IKnownFolders.h"
#include "platform/Utf8Path.h"

namespace quenvor::shredder {

using platform::FileType;

ProtectedPaths::ProtectedPaths(platform::IFileService& files, platform::IKnownFolders* folders)
    : m_files(files), m_folders(folders) {}

Protection ProtectedPaths::of(const std::string& path, bool folder) const {
    const auto idOf = [&](const std::filesystem::path& p) -> std::optional<platform::FileIdentity> {
        auto st = m_files.status(p);
        if (!st || st->type == FileType::NotFound) return std::nullopt;
        return st->identity();
    };
    auto chosen = m_files.status(platform::pathFromUtf8(path));
    if (!chosen || chosen->type == FileType::NotFound) return Protection::None;
    const auto id = chosen->identity();
    if (!folder) {
        const auto program = m_folders ? m_folders->programFile() : std::filesystem::path();
        return !program.empty() && idOf(program) == id ? Protection::ProgramFile : Protection::None;
    }
    if (chosen->type != FileType::Directory) return Protection::None;
    if (idOf("/") == id) return Protection::SystemRoot;
    if (m_folders) {
        std::filesystem::path p = m_folders->programFolder();
        if (!p.empty() && idOf(p) == id) return Protection::ProgramFolder;
        for (; !p.empty() && p != p.parent_path(); p = p.parent_path())
            if (idOf(p.parent_path()) == id) return Protection::HoldsProgram;
        if (const auto home = m_folders->homeFolder(); !home.empty() && idOf(home) == id) return Protection::Home;
    }
    // ".." of the folder itself, as the system resolves it, so a link on the way does not matter.
    if (auto above = m_files.status(platform::pathFromUtf8(path) / ".."); above) {
        const bool otherMount = chosen->mountId != 0 && above->mountId != 0 && chosen->mountId != above->mountId;
        if (above->device != chosen->device || otherMount) return Protection::MountRoot;
    }
    return Protection::None;
}

}  // namespace quenvor::shredder
