#include "platform/linux/LinuxKnownFolders.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace quenvor::platform {

LinuxKnownFolders::LinuxKnownFolders() : LinuxKnownFolders([](const char* n) { return std::getenv(n); }) {}

LinuxKnownFolders::LinuxKnownFolders(Getenv getenv, std::filesystem::path exe)
    : m_getenv(std::move(getenv)), m_exe(std::move(exe)) {}

std::filesystem::path LinuxKnownFolders::programFolder() {
    if (!m_exe.empty()) return m_exe.parent_path();
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::filesystem::path LinuxKnownFolders::programFile() {
    if (!m_exe.empty()) return m_exe;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

std::filesystem::path LinuxKnownFolders::temporaryFolder() {
    const char* t = m_getenv("TMPDIR");
    if (t && *t) return t;
    return "/tmp";
}

std::filesystem::path LinuxKnownFolders::homeFolder() {
    const char* h = m_getenv("HOME");
    if (h && *h) return h;
    if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

std::filesystem::path LinuxKnownFolders::xdg(const char* var, const char* fallbackBelowHome) {
    const char* v = m_getenv(var);
    // The XDG rules ignore relative values.
    if (v && *v == '/') return v;
    return homeFolder() / fallbackBelowHome;
}

std::filesystem::path LinuxKnownFolders::configHome() { return xdg("XDG_CONFIG_HOME", ".config"); }
std::filesystem::path LinuxKnownFolders::cacheHome() { return xdg("XDG_CACHE_HOME", ".cache"); }
std::filesystem::path LinuxKnownFolders::dataHome() { return xdg("XDG_DATA_HOME", ".local/share"); }
std::filesystem::path LinuxKnownFolders::stateHome() { return xdg("XDG_STATE_HOME", ".local/state"); }
std::filesystem::path LinuxKnownFolders::chromeConfigHome() {
    const char* v = m_getenv("CHROME_CONFIG_HOME");
    if (v && *v == '/') return v;
    return {};
}

}  // namespace quenvor::platform
