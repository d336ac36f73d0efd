#include "shell/StartForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <utility>

#include "platform/EmbeddedStringResource.h"
#include "platform/IProcessTable.h"
#include "platform/IUrlCache.h"
#include "platform/NativePlatform.h"
#include "platform/PendingDeletionList.h"
#include "shell/HelpPath.h"
#include "shredder/InterruptedRun.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/FaultyFileService.h"
#include "support/ScriptedUi.h"
#include "support/TempDir.h"
#include "text/TextIds.h"

namespace quenvor::shell {
namespace {

// One page and one cookie; the first enumeration may be made to throw, as a damaged cache could.
class ListedCache : public platform::IUrlCache {
public:
    bool throwOnce = false;
    std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override {
        if (std::exchange(throwOnce, false)) throw std::runtime_error("unreadable cache");
        find = 1;
        m_at = 0;
        return m_entries[0];
    }
    std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind) override {
        if (++m_at >= m_entries.size()) return std::nullopt;
        return m_entries[m_at];
    }
    void findClose(platform::UrlCacheFind) override {}
    platform::Status deleteEntry(const std::string&) override { return {}; }

private:
    std::vector<platform::UrlCacheEntry> m_entries{{"https://visited.example/", platform::kNormalCacheEntry},
                                                   {"Cookie:ana@visited.example/", platform::kCookieCacheEntry}};
    std::size_t m_at = 0;
};

class Start : public ::testing::Test {
protected:
    platform::EmbeddedStringResource res;
    test::MemorySettingsStore store;
    test::RecordingOpener opener;
    test::FixedFolders folders;
    test::ScriptedUi ui;
    test::FakeFormView view;
    ListedCache cache;
    std::unique_ptr<platform::IFileService> files = platform::NativePlatform::makeFileService();
    std::unique_ptr<platform::IRandomSource> random = platform::NativePlatform::makeRandomSource();
    std::unique_ptr<StartForm> form;
    platform::IProcessTable* processes = nullptr;

    void make(platform::IFileService* fileService = nullptr, platform::PendingDeletionList* pending = nullptr) {
        platform::PlatformServices s;
        s.strings = &res;
        s.settings = &store;
        s.opener = &opener;
        s.folders = &folders;
        s.urlCache = &cache;
        s.files = fileService ? fileService : files.get();
        s.pending = pending;
        s.random = random.get();
        s.processes = processes;
        form = std::make_unique<StartForm>(view, ui, s);
    }
    std::ptrdiff_t position(const std::string& entry) {
        auto it = std::find(view.log.begin(), view.log.end(), entry);
        EXPECT_NE(it, view.log.end()) << entry;
        return it - view.log.begin();
    }
};

TEST_F(Start, LoadRunsItsStepsInOrder) {
    make();
    form->Form_Load();
    const auto captions = position("caption cmdQuit=&Quit");
    const auto checks = position("check chk1=1");
    const auto texts = position("caption lblShredder=" + ui::StringTable::ExpandLineBreaks(
                                                             form->strings().LoadLangString(text::ShredderPageIntro)));
    const auto window = position("window Quenvor");
    const auto language = position("combo cmbLanguage+English");
    const auto secure = position("combo cmbSecure+Secure (Recommended)");
    const auto page = position("front pTab1_0");
    const auto sites = position("list LstB2+https://visited.example/");
    const auto cookies = position("list LstB3+Cookie:ana@visited.example/");
    EXPECT_LT(captions, checks);
    EXPECT_LT(checks, texts);
    EXPECT_LT(texts, window);
    EXPECT_LT(window, language);
    EXPECT_LT(language, secure);
    EXPECT_LT(secure, page);
    EXPECT_LT(page, sites);
    EXPECT_LT(sites, cookies);
    EXPECT_TRUE(form->shredderPage());
}

TEST_F(Start, FirstStartShowsPageOneInEnglish) {
    make();
    form->Form_Load();
    EXPECT_EQ(view.windowCaption, "Quenvor");
    EXPECT_EQ(view.at("lblTitle").caption, "You always leave traces behind");
    EXPECT_EQ(view.at("cmdNext").caption, "Er&ase my tracks");
    EXPECT_TRUE(view.isVisible("LstB2"));
    EXPECT_FALSE(view.isVisible("pSettings"));
    // Long texts show real line breaks.
    EXPECT_NE(view.at("lblStart").caption->find("opened.\r\n\r\nHere"), std::string::npos);
    EXPECT_EQ(view.at("lblAbout").caption->find("\\n"), std::string::npos);
    // The language list names itself and selects nothing, whatever language is in force.
    EXPECT_EQ(view.comboText("cmbLanguage"), "Language");
    EXPECT_EQ(view.comboSelectedIndex("cmbLanguage"), -1);
    EXPECT_EQ(view.comboItemData("cmbLanguage", 0), ui::kEnglish);
    EXPECT_EQ(view.comboItemData("cmbLanguage", 1), ui::kSpanish);
    EXPECT_EQ(view.listItems("cmbSecure").size(), 3u);
    EXPECT_EQ(view.comboText("cmbSecure"), "Secure (Recommended)");
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(view.checkValue("chk" + std::to_string(n)), n == 5 ? 0 : 1);
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Start, AStoredSpanishStartsInSpanish) {
    store.values["QUENVOR/SETTINGS/LANGUAGE"] = "1034";
    make();
    form->Form_Load();
    EXPECT_EQ(view.at("cmdQuit").caption, "&Salir");
    EXPECT_EQ(view.comboText("cmbLanguage"), "Idioma");
    EXPECT_EQ(view.at("lblTitle").caption, "Siempre dejas huellas detrás");
}

TEST_F(Start, AnUnknownStoredLanguageStillGivesAUsableWindow) {
    store.values["QUENVOR/SETTINGS/LANGUAGE"] = "1033";
    make();
    form->Form_Load();
    EXPECT_EQ(view.at("cmdQuit").caption, "&Quit");
    EXPECT_EQ(view.listItems("cmbLanguage"), (std::vector<std::string>{"English", "Spanish"}));
}

TEST_F(Start, AFailingStepDoesNotStopTheOthers) {
    make();
    cache.throwOnce = true;  // the visited sites cannot be listed
    form->Form_Load();
    EXPECT_EQ(view.listItems("cmbLanguage").size(), 2u);
    EXPECT_TRUE(view.isVisible("LstB2"));
    EXPECT_TRUE(view.listItems("LstB2").empty());
    EXPECT_EQ(view.listItems("LstB3"), (std::vector<std::string>{"Cookie:ana@visited.example/"}));
}

TEST_F(Start, HelpOpensThePageBesideTheProgram) {
    make();
    form->setOwnerHandle(42);
    form->cmdHelp_Click();
    ASSERT_EQ(opener.opened.size(), 1u);
    // Compared as paths: the page is named with the system's own separator.
    EXPECT_EQ(std::filesystem::path(opener.opened[0].first), std::filesystem::path("/opt/quenvor/help/quenvor.htm"));
    EXPECT_EQ(opener.opened[0].second, 42u);
    folders.program = "/";
    form->cmdHelp_Click();
    EXPECT_EQ(std::filesystem::path(opener.opened[1].first), std::filesystem::path("/help/quenvor.htm"));
    EXPECT_TRUE(ui.messages.empty());
}

// Where the desktop has no program for the page it often says nothing: Quenvor says where the
// page is, in the user's language, so it can be opened by hand.
TEST_F(Start, HelpThatCannotOpenSaysWhereThePageIs) {
    make();
    form->strings().setLanguage(ui::kSpanish);
    opener.fails = true;
    form->cmdHelp_Click();
    ASSERT_EQ(opener.opened.size(), 1u);
    const std::string page = opener.opened[0].first;
    EXPECT_EQ(std::filesystem::path(page).filename(), "quenvor-es.htm");
    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string said = ui.messages[0].text;
    EXPECT_EQ(said.rfind(form->strings().LoadLangString(text::HelpNotOpened), 0), 0u) << said;
    EXPECT_NE(said.find(page), std::string::npos) << said;
}

TEST_F(Start, QuitEndsWithoutUnloadingClosingUnloads) {
    make();
    form->Form_Load();
    ASSERT_TRUE(form->cShred());
    form->cmdQuit_Click();
    EXPECT_EQ(ui.endProgramCalls, 1);
    EXPECT_TRUE(form->ending());
    EXPECT_TRUE(form->cShred());  // Quit leaves the unloading to the end of the program
    form->Form_Unload();
    EXPECT_FALSE(form->cShred());
    EXPECT_FALSE(form->shredderPage());
}

// A file the user believes destroyed must not sit there unnoticed: one message, at the end of
// the load, naming each queued file still there with the reason, and any unreadable list lines.
TEST_F(Start, QueuedRemovalsThatStillFailAreNamedOnceAtLoad) {
    test::TempDir dir;
    platform::PendingDeletionList pending(dir / "pending-deletions");
    const auto real = platform::NativePlatform::makeFileService(&pending);
    test::FaultyFileService faulty(*real);
    const auto stuck = dir / "stuck.txt", gone = dir / "gone.txt";
    test::TempDir::write(stuck, "x");
    test::TempDir::write(gone, "y");
    // Queued in our own list, as a system that keeps no such list of its own does.
    ASSERT_TRUE(pending.add(stuck, *real->status(stuck)).ok());
    ASSERT_TRUE(pending.add(gone, *real->status(gone)).ok());
    test::TempDir::write(pending.file(), test::TempDir::read(pending.file()) + "garbled\n");
    faulty.failRemoveFor.insert(stuck.string());

    make(&faulty, &pending);
    form->Form_Load();
    ASSERT_EQ(ui.messages.size(), 1u);
    const std::string& said = ui.messages[0].text;
    EXPECT_EQ(said.find("These files were overwritten earlier but could not be removed"), 0u) << said;
    EXPECT_NE(said.find(stuck.string() + ": cannot remove"), std::string::npos) << said;
    EXPECT_EQ(said.find(gone.string()), std::string::npos) << said;
    EXPECT_NE(said.find("1 lines of the list of files to remove at start could not be read"), std::string::npos);
    EXPECT_NE(said.find(pending.file().string()), std::string::npos);
    EXPECT_EQ(ui.messages[0].icon, ui::MsgIcon::Exclamation);
    EXPECT_FALSE(std::filesystem::exists(gone));
    EXPECT_TRUE(std::filesystem::exists(stuck));
    // Shown after the window is filled, not in the middle of it.
    EXPECT_FALSE(view.listItems("LstB3").empty());

    // Once removable, it goes at the next start; only the unreadable line is still worth a word.
    faulty.failRemoveFor.clear();
    ui.messages.clear();
    make(&faulty, &pending);
    form->Form_Load();
    EXPECT_FALSE(std::filesystem::exists(stuck));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text.find("1 lines of the list"), 0u);
}

// A shred an earlier start never saw end, as its record and the files it left show it.
class Interrupted : public Start {
protected:
    test::TempDir dir;
    platform::PendingDeletionList pending{dir / "state/pending-deletions"};
    const std::filesystem::path chosen = dir / "chosen", half = chosen / "a.txt";
    const std::filesystem::path record = dir / "state" / "interrupted-shred";

    Interrupted() {
        for (const char* name : {"a.txt", "b.txt", "sub/c.txt"}) test::TempDir::write(chosen / name, "secret");
    }
    // As the page writes it, and never ends it: the process died.
    void recordRun(const std::filesystem::path& choice, bool folder, const std::filesystem::path& current) {
        shredder::InterruptedRun run(*files, record);
        ASSERT_TRUE(run.begin(folder, choice, 8).ok());
        if (!current.empty()) {
            ASSERT_TRUE(run.fileBegins(current, 8).ok());
        }
    }
    void start(std::deque<ui::MsgAnswer> answers) {
        make(files.get(), &pending);
        form->Form_Load();
        ui.messages.clear();
        ui.answers = std::move(answers);
        form->Form_Shown();
    }
    static void replace(const std::filesystem::path& p) {  // a new file under the old name
        test::TempDir::write(p.string() + ".new", "new");
        std::filesystem::rename(p.string() + ".new", p);
    }
    static bool has(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
};

TEST_F(Interrupted, YesFinishesTheFolderWithTheRecordedLevelAndNoSecondQuestion) {
    recordRun(chosen, true, half);
    std::optional<shredder::InterruptedRun::Record> during;
    ui.onProcessEvents = [&] {
        if (!during) during = shredder::InterruptedRun(*files, record).load().record;
    };
    start({ui::MsgAnswer::Yes});
    ASSERT_EQ(ui.messages.size(), 2u);
    const std::string& asked = ui.messages[0].text;
    EXPECT_EQ(ui.messages[0].buttons, ui::MsgButtons::YesNo);
    EXPECT_TRUE(has(asked, "while it was shredding this folder:\r\n" + chosen.string())) << asked;
    EXPECT_TRUE(has(asked, "partly overwritten and is still there under its own name:\r\n" + half.string()));
    EXPECT_TRUE(has(asked, "Not shredded yet:\r\n"));
    EXPECT_TRUE(has(asked, (chosen / "b.txt").string()));
    EXPECT_TRUE(has(asked, (chosen / "sub" / "c.txt").string()));
    EXPECT_EQ(asked.find(half.string()), asked.rfind(half.string()));  // named once, as the half-done one
    EXPECT_TRUE(has(asked, "Finish the shred now, with the same level (8 passes)?"));

    EXPECT_EQ(ui.messages[1].text, "The folder was permanently deleted.");
    EXPECT_FALSE(std::filesystem::exists(chosen));
    EXPECT_EQ(view.comboSelectedIndex("cmbSecure"), 1);
    EXPECT_NE(std::find(view.log.begin(), view.log.end(), "caption lblStatus=Overwriting 8 of 8"), view.log.end());
    EXPECT_TRUE(view.isVisible("cmdFile"));  // on the shredder page, where its progress shows
    // The resumed run kept its own record while it went on, and removed it at its end.
    ASSERT_TRUE(during);
    EXPECT_EQ(during->choice, chosen);
    EXPECT_TRUE(has(during->current.string(), (chosen / "").string())) << during->current;  // a file below it
    EXPECT_FALSE(std::filesystem::exists(record));
}

TEST_F(Interrupted, NoForgetsTheRunAndTouchesNothing) {
    recordRun(half, false, {});
    start({ui::MsgAnswer::No});
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(has(ui.messages[0].text, "while it was shredding this file:\r\n" + half.string()));
    EXPECT_TRUE(has(ui.messages[0].text, "Not shredded yet:\r\n" + half.string()));  // the passes never began
    EXPECT_EQ(test::TempDir::read(half), "secret");
    EXPECT_FALSE(std::filesystem::exists(record));
    form->Form_Shown();
    EXPECT_EQ(ui.messages.size(), 1u);
}

// Nothing is asked, nothing touched, and the record goes: what it names cannot be acted on.
TEST_F(Interrupted, ARecordThatCannotBeActedOnIsToldOfAndForgotten) {
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string said;
        ui::MsgIcon icon;
    };
    const auto gone = dir / "gone";
    const Case cases[] = {
        {"gone",
         [&] {
             std::filesystem::create_directory(gone);
             recordRun(gone, true, {});
             std::filesystem::remove(gone);
         },
         "It is no longer there, so there is nothing left to finish.", ui::MsgIcon::Information},
        {"replaced",
         [&] {
             recordRun(half, false, half);
             replace(half);
         },
         "What has this name now is not what was being shredded", ui::MsgIcon::Exclamation},
        {"damaged", [&] { test::TempDir::write(record, "quenvor interrupted shred 1\nchoice fil"); },
         "could not be read, so it was discarded:\r\n" + record.string(), ui::MsgIcon::Exclamation},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.arrange();
        start({});
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_TRUE(has(ui.messages[0].text, c.said)) << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].buttons, ui::MsgButtons::Ok);
        EXPECT_EQ(ui.messages[0].icon, c.icon);
        EXPECT_FALSE(std::filesystem::exists(record));
        EXPECT_TRUE(std::filesystem::exists(chosen / "b.txt"));
    }
}

// Started again while the first Quenvor still shreds: that run is not interrupted.
TEST_F(Interrupted, ARunAnotherQuenvorStillCarriesOutIsLeftToIt) {
    struct OtherQuenvor : platform::IProcessTable {
        bool alive = true;
        std::set<std::pair<std::uint64_t, std::uint64_t>> openFiles() override { return {}; }
        std::uint32_t currentUserId() override { return 0; }
        std::string currentUserName() override { return {}; }
        bool lockedByAnother(const std::filesystem::path&) override { return false; }
        std::string hostName() override { return {}; }
        bool processAlive(std::int64_t pid) override { return alive && pid == 4242; }
        std::int64_t currentProcessId() override { return 1; }
    } table;
    processes = &table;
    ASSERT_TRUE(shredder::InterruptedRun(*files, record, 4242).begin(true, chosen, 8).ok());
    start({});
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_TRUE(std::filesystem::exists(record));
    table.alive = false;  // killed after all
    start({ui::MsgAnswer::No});
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(record));
}

TEST_F(Interrupted, AChoiceReplacedWhileTheQuestionIsOpenIsRefused) {
    recordRun(half, false, half);
    ui.onMessage = [&] {
        if (ui.messages.size() == 1) replace(half);
    };
    start({ui::MsgAnswer::Yes});
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text.find("The shred was not finished: what has this name now is not what was"), 0u);
    EXPECT_TRUE(has(ui.messages[1].text, half.string()));
    EXPECT_EQ(test::TempDir::read(half), "new");
    EXPECT_FALSE(std::filesystem::exists(record));
}

TEST(HelpPath, OneSeparatorBetweenFolderAndPage) {
    EXPECT_EQ(BuildHelpPath("/opt/quenvor", '/', 0), "/opt/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildHelpPath("/opt/quenvor/", '/', 0), "/opt/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildHelpPath("/", '/', 0), "/help/quenvor.htm");
    EXPECT_EQ(BuildHelpPath("//opt///quenvor//", '/', 0), "/opt/quenvor/help/quenvor.htm");
    EXPECT_EQ(BuildHelpPath("/home/a\\b", '/', 0), "/home/a\\b/help/quenvor.htm");  // a name, not a separator
}

TEST(HelpPath, WindowsSpellingsComeOutWithBackslashesOnly) {
    EXPECT_EQ(BuildHelpPath("C:\\", '\\', '/'), "C:\\help\\quenvor.htm");
    EXPECT_EQ(BuildHelpPath("C:/Program Files/Quenvor", '\\', '/'), "C:\\Program Files\\Quenvor\\help\\quenvor.htm");
    EXPECT_EQ(BuildHelpPath("C:\\Tools\\\\\\Quenvor", '\\', '/'), "C:\\Tools\\Quenvor\\help\\quenvor.htm");
    EXPECT_EQ(BuildHelpPath("\\\\server\\share\\q", '\\', '/'), "\\\\server\\share\\q\\help\\quenvor.htm");
}

}  // namespace
}  // namespace quenvor::shell
