#include "shell/StartForm.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "platform/EmbeddedStringResource.h"
#include "shell/HelpPath.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"

namespace quenvor::shell {
namespace {

class Start : public ::testing::Test {
protected:
    platform::EmbeddedStringResource res;
    test::MemorySettingsStore store;
    test::RecordingOpener opener;
    test::FixedFolders folders;
    test::ScriptedUi ui;
    test::FakeFormView view;
    std::unique_ptr<StartForm> form;

    void make() {
        platform::PlatformServices s;
        s.strings = &res;
        s.settings = &store;
        s.opener = &opener;
        s.folders = &folders;
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
    form->parts().createWorkers = [&] { view.log.push_back("workers"); };
    form->parts().listVisitedSites = [&] { view.log.push_back("sites"); };
    form->parts().listCookies = [&] { view.log.push_back("cookies"); };
    form->Form_Load();
    const auto captions = position("caption cmdQuit=&Quit");
    const auto checks = position("check chk1=1");
    const auto texts =
        position("caption lblShredder=" + ui::StringTable::ExpandLineBreaks(form->strings().LoadLangString(103)));
    const auto window = position("window Quenvor");
    const auto workers = position("workers");
    const auto language = position("combo cmbLanguage+English");
    const auto secure = position("combo cmbSecure+Secure (Recomended)");
    const auto page = position("front pTab1_0");
    const auto sites = position("sites");
    const auto cookies = position("cookies");
    EXPECT_LT(captions, checks);
    EXPECT_LT(checks, texts);
    EXPECT_LT(texts, window);
    EXPECT_LT(window, workers);
    EXPECT_LT(workers, language);
    EXPECT_LT(language, secure);
    EXPECT_LT(secure, page);
    EXPECT_LT(page, sites);
    EXPECT_LT(sites, cookies);
}

TEST_F(Start, FirstStartShowsPageOneInEnglish) {
    make();
    form->Form_Load();
    EXPECT_EQ(view.windowCaption, "Quenvor");
    EXPECT_EQ(view.at("lblTitle").caption, "You  always leave traces behind");
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
    EXPECT_EQ(view.comboText("cmbSecure"), "Secure (Recomended)");
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
    form->parts().createWorkers = [] { throw std::runtime_error("no engine"); };
    bool cookies = false;
    form->parts().listCookies = [&] { cookies = true; };
    form->Form_Load();
    EXPECT_EQ(view.listItems("cmbLanguage").size(), 2u);
    EXPECT_TRUE(view.isVisible("LstB2"));
    EXPECT_TRUE(cookies);
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
    EXPECT_TRUE(ui.messages.empty());  // the opener's failure is not ours to report
}

TEST_F(Start, QuitEndsWithoutUnloadingClosingUnloads) {
    make();
    int released = 0;
    form->parts().releaseWorkers = [&] { ++released; };
    form->Form_Unload();
    EXPECT_EQ(released, 1);
    EXPECT_FALSE(form->ending());
    form->cmdQuit_Click();
    EXPECT_EQ(ui.endProgramCalls, 1);
    EXPECT_TRUE(form->ending());
    EXPECT_EQ(released, 1);
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
