// The smaller services of the Windows backend against the system's own: the URL cache and
// history, the random source, the folders, files in use and the string resource.
#include <windows.h>
// After windows.h, which it expects first.
#include <wininet.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "cleaning/UrlCacheLists.h"
#include "cleaning/common/CleanReport.h"
#include "cleaning/desktop/LibreOfficeRunning.h"
#include "platform/EmbeddedStringBlocks.h"
#include "platform/Utf8Path.h"
#include "platform/windows/WindowsFileService.h"
#include "platform/windows/WindowsKnownFolders.h"
#include "platform/windows/WindowsProcessTable.h"
#include "platform/windows/WindowsRandomSource.h"
#include "platform/windows/WindowsStringResource.h"
#include "platform/windows/WindowsUrlCache.h"
#include "platform/windows/WindowsUrlHistory.h"
#include "support/FakeFormView.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "text/TextIds.h"
#include "ui/StringTable.h"

namespace quenvor::platform::windows {
namespace {

// Puts an entry in the cache the way a browser does: a file for it, then the commit.
bool commitEntry(const std::wstring& url, DWORD type) {
    wchar_t file[MAX_PATH] = {};
    if (!CreateUrlCacheEntryW(url.c_str(), 0, L"htm", file, 0)) return false;
    { std::ofstream(std::filesystem::path(file), std::ios::binary) << "<html></html>"; }
    FILETIME never{};
    return CommitUrlCacheEntryW(url.c_str(), file, never, never, type, nullptr, 0, nullptr, nullptr) != FALSE;
}

bool inCache(const std::wstring& url) {
    DWORD size = 0;
    if (GetUrlCacheEntryInfoW(url.c_str(), nullptr, &size)) return true;
    return GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

TEST(RealUrlCache, EntriesAreListedShownAndClearedCookiesKept) {
    const std::wstring page = L"http://quenvor-test.example/page?q=é";
    const std::wstring cookie = L"Cookie:ana@quenvor-test.example/";
    ASSERT_TRUE(commitEntry(page, NORMAL_CACHE_ENTRY));
    ASSERT_TRUE(commitEntry(cookie, COOKIE_CACHE_ENTRY));

    WindowsUrlCache cache;
    test::FakeFormView view;
    test::ScriptedUi ui;
    cleaning::UrlCacheLists lists(view, ui, cache);
    lists.ListVisitedSites();
    lists.ListCookies();
    const auto visited = view.listItems("LstB2");
    const auto cookies = view.listItems("LstB3");
    EXPECT_NE(std::find(visited.begin(), visited.end(), "http://quenvor-test.example/page?q=é"), visited.end());
    EXPECT_NE(std::find(cookies.begin(), cookies.end(), "Cookie:ana@quenvor-test.example/"), cookies.end());

    cleaning::common::CleanReport report;
    lists.ClearUrlCache(&report);
    EXPECT_FALSE(inCache(page));
    EXPECT_TRUE(inCache(cookie));  // cookies go with their own option, not with the cache
    EXPECT_TRUE(cache.deleteEntry("Cookie:ana@quenvor-test.example/").ok());
    EXPECT_FALSE(inCache(cookie));
    EXPECT_FALSE(cache.deleteEntry("Cookie:ana@quenvor-test.example/").ok());

    // A walk that was never closed is closed by a new one, and nothing is read after the end.
    UrlCacheFind find = 0;
    (void)cache.findFirst(find);
    UrlCacheFind again = 0;
    (void)cache.findFirst(again);
    while (cache.findNext(again)) {
    }
    EXPECT_FALSE(cache.findNext(again));
    cache.findClose(again);
}

TEST(RealUrlHistory, ASystemWithoutTheServiceHasNothingToClear) {
    WindowsUrlHistory history;
    const Status s = history.clearHistory();
    EXPECT_TRUE(s.ok()) << (s.ok() ? "" : s.error().message);
}

TEST(RealRandom, TheEnhancedProviderFillsEveryByte) {
    WindowsRandomSource random;
    EXPECT_TRUE(random.usesCryptoApi());
    std::vector<std::byte> a(4096), b(4096);
    ASSERT_TRUE(random.fill(a).ok());
    ASSERT_TRUE(random.fill(b).ok());
    EXPECT_NE(a, b);
    // A stuck generator shows as runs of one value; 4096 random bytes hold every value.
    std::array<int, 256> counts{};
    for (std::byte x : a) ++counts[std::to_integer<int>(x)];
    EXPECT_EQ(std::count(counts.begin(), counts.end(), 0), 0);
}

TEST(RealFolders, TheShellsFoldersExistAndTheTemporaryOneHasNoTrailingSeparator) {
    WindowsKnownFolders folders;
    for (const auto& f : {folders.homeFolder(), folders.configHome(), folders.cacheHome(), folders.dataHome(),
                          folders.stateHome(), folders.temporaryFolder(), folders.programFolder()}) {
        EXPECT_TRUE(f.is_absolute()) << f;
        EXPECT_TRUE(std::filesystem::is_directory(f)) << f;
    }
    EXPECT_TRUE(folders.temporaryFolder().has_filename());
    wchar_t exe[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    EXPECT_EQ(std::filesystem::path(exe).parent_path(), folders.programFolder());
}

TEST(RealProcessTable, AFileHeldWithoutSharingIsLockedUntilClosed) {
    test::TempDir dir;
    const auto lock = dir / "lockfile";
    test::TempDir::write(lock, "");
    WindowsProcessTable processes;
    EXPECT_FALSE(processes.lockedByAnother(lock));
    HANDLE held = CreateFileW(lock.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_TRUE(processes.lockedByAnother(lock));
    CloseHandle(held);
    EXPECT_FALSE(processes.lockedByAnother(lock));
    EXPECT_FALSE(processes.lockedByAnother(dir / "no such file"));
    EXPECT_FALSE(processes.currentUserName().empty());
    EXPECT_FALSE(processes.hostName().empty());
    EXPECT_TRUE(processes.processAlive(GetCurrentProcessId()));
    EXPECT_FALSE(processes.processAlive(0));
}

// A copy of this very test program under LibreOffice's program name, kept busy until ended: it
// repeats a filter that matches no test for as long as it runs.
class Impostor {
public:
    explicit Impostor(const std::filesystem::path& file) {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        if (!CopyFileW(self, file.c_str(), TRUE)) return;
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        m_nul =
            CreateFileW(L"NUL", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
        STARTUPINFOW start{};
        start.cb = sizeof start;
        start.dwFlags = STARTF_USESTDHANDLES;
        start.hStdInput = start.hStdOutput = start.hStdError = m_nul;
        std::wstring command = L"\"" + file.native() + L"\" --gtest_filter=NoSuchTest.None --gtest_repeat=-1";
        if (CreateProcessW(file.c_str(), command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                           &start, &m_process)) {
            CloseHandle(m_process.hThread);
            m_process.hThread = nullptr;
        }
    }
    ~Impostor() {
        end();
        if (m_nul != INVALID_HANDLE_VALUE) CloseHandle(m_nul);
    }
    bool started() const { return m_process.hProcess != nullptr; }
    void end() {
        if (!m_process.hProcess) return;
        TerminateProcess(m_process.hProcess, 1);
        WaitForSingleObject(m_process.hProcess, 10000);
        CloseHandle(m_process.hProcess);
        m_process.hProcess = nullptr;
    }

private:
    HANDLE m_nul = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION m_process{};
};

TEST(RealProcessTable, ARunningProgramOfOursIsKnownByItsFileNameInAnyCase) {
    WindowsProcessTable processes;
    wchar_t exe[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, exe, MAX_PATH), 0u);
    const std::string self = utf8Of(std::filesystem::path(exe).filename());
    EXPECT_TRUE(processes.programRunning(self)) << self;
    std::string upper = self;
    std::transform(upper.begin(), upper.end(), upper.begin(), [](unsigned char c) { return std::toupper(c); });
    EXPECT_TRUE(processes.programRunning(upper)) << upper;
    // Only the file name counts: neither its folder nor a part of the name.
    EXPECT_FALSE(processes.programRunning(utf8Of(std::filesystem::path(exe))));
    EXPECT_FALSE(processes.programRunning(self.substr(1)));
    EXPECT_FALSE(processes.programRunning("no-such-program-quenvor.exe"));
    EXPECT_FALSE(processes.programRunning(""));

    // LibreOffice's lock counts while its program runs and not after.
    test::TempDir dir;
    const auto profile = dir / "profile";
    test::TempDir::write(profile / ".lock", "[Lockdata]\r\nUser=" + processes.currentUserName() +
                                                "\r\nHost=" + processes.hostName() + "\r\nPID=1\r\n");
    WindowsFileService files;
    EXPECT_FALSE(cleaning::desktop::LibreOfficeRunning::running(profile, files, &processes));  // none running yet
    Impostor office(dir / "soffice.bin");
    ASSERT_TRUE(office.started()) << "error " << GetLastError();
    EXPECT_TRUE(processes.programRunning("soffice.bin"));
    EXPECT_TRUE(cleaning::desktop::LibreOfficeRunning::running(profile, files, &processes));
    office.end();
    EXPECT_FALSE(processes.programRunning("soffice.bin"));
    EXPECT_FALSE(cleaning::desktop::LibreOfficeRunning::running(profile, files, &processes));
}

TEST(RealStringResource, TheProgramsResourceHoldsExactlyTheEmbeddedBlocks) {
    WindowsStringResource resource(std::filesystem::path(L"C:\\no such folder"));
    ASSERT_TRUE(resource.readsOwnImage());
    for (const auto& b : embeddedStringBlocks()) {
        const auto found = resource.findBlock(b.block, b.language);
        // A block without a single text is not written to the resource at all; both read as "".
        if (std::all_of(b.data, b.data + b.size, [](unsigned char c) { return c == 0; })) {
            EXPECT_FALSE(found) << "block " << b.block << " language " << b.language;
            continue;
        }
        ASSERT_TRUE(found) << "block " << b.block << " language " << b.language;
        const auto* bytes = reinterpret_cast<const unsigned char*>(found->data());
        EXPECT_EQ(std::vector<unsigned char>(bytes, bytes + found->size()),
                  std::vector<unsigned char>(b.data, b.data + b.size))
            << "block " << b.block << " language " << b.language;
    }
    EXPECT_TRUE(resource.hasLanguage(1053));
    EXPECT_TRUE(resource.hasLanguage(1034));
    EXPECT_FALSE(resource.hasLanguage(1033));
    SetLastError(0);
    EXPECT_FALSE(resource.findBlock(7, 1033));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_RESOURCE_LANG_NOT_FOUND));

    test::ScriptedUi ui;
    ui::StringTable table(&resource, &ui);
    table.setLanguage(1053);
    EXPECT_EQ(table.LoadLangString(text::StartPageTitle), "You always leave traces behind");
    EXPECT_EQ(table.LoadLangString(text::ConfirmFileShred),
              "Are you sure you want to remove this file?\nYou can NEVER get it back.");
    table.setLanguage(1034);
    EXPECT_EQ(table.LoadLangString(text::SelectFolderButton), "Escoger una &carpeta");
    // The Windows build carries the Windows wording, not the Linux variant.
    EXPECT_NE(table.LoadLangString(text::ConfirmCleaning).find("Internet Explorer, Firefox"), std::string::npos);
    EXPECT_EQ(table.LoadLangString(text::LanguageSpanish), "Español");
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace quenvor::platform::windows
