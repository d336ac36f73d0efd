// The program's start-up on Linux, in a made-up home: page one lists what Firefox and a
// Chromium-family browser both keep, a run erases both, and a part that cannot start is told.
#include "shell/AppServices.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>

#include "platform/EmbeddedStringResource.h"
#include "platform/NativePlatform.h"
#include "platform/PendingDeletionList.h"
#include "shell/StartForm.h"
#include "support/ChromiumFixture.h"
#include "support/FakeFormView.h"
#include "support/FakeHome.h"
#include "support/Fakes.h"
#include "support/FirefoxFixture.h"
#include "support/ScriptedUi.h"
#include "text/TextIds.h"

namespace quenvor::shell {
namespace {
namespace fs = std::filesystem;

class Startup : public ::testing::Test, protected test::FakeHome {
protected:
    platform::EmbeddedStringResource strings;
    test::MemorySettingsStore settings;
    std::unique_ptr<platform::IRandomSource> random = platform::NativePlatform::makeRandomSource();
    platform::PendingDeletionList pending{dir / "state/pending-deletions"};
    test::FakeFormView view;
    test::ScriptedUi ui;
    std::unique_ptr<AppServices> app;
    std::unique_ptr<StartForm> form;

    void start(platform::IProcessTable& table) {
        platform::PlatformServices native;
        native.files = &files;
        native.registry = &registry;
        native.folders = &folders;
        native.profiles = &ini;
        native.processes = &table;
        native.strings = &strings;
        native.random = random.get();
        native.pending = &pending;
        app = std::make_unique<AppServices>(native);
        app->services().settings = &settings;
        form = std::make_unique<StartForm>(view, ui, app->services());
        form->Form_Load();
    }
    void eraseCacheAndCookies() {
        for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 2 || n == 4 ? 1 : 0);
        ui.messages.clear();
        form->cmdNext_Click();
    }
};

TEST_F(Startup, FirefoxAndChromiumAreListedTogetherAndBothErased) {
    const fs::path firefox = home / ".mozilla/firefox/Profiles/a", chromium = home / ".config/chromium/Default";
    test::TempDir::write(home / ".mozilla/firefox/profiles.ini", "[Profile0]\nPath=Profiles/a\n");
    test::FirefoxFixture::makeProfile(firefox);
    test::FirefoxFixture::writeCacheEntry(home / ".cache/mozilla/firefox/Profiles/a", "01",
                                          "a,:https://firefox-only.example/page");
    test::ChromiumFixture::makeProfile(chromium);
    start(processes);
    const auto pages = view.listItems("LstB2"), cookies = view.listItems("LstB3");
    for (const char* page : {"https://firefox-only.example/page", "https://secret-clinic.example/appointment"})
        EXPECT_NE(std::find(pages.begin(), pages.end(), page), pages.end()) << page;
    // The same cookie host in both browsers: one line each.
    const auto clinic =
        std::count(cookies.begin(), cookies.end(), "Cookie:" + processes.currentUserName() + "@secret-clinic.example/");
    EXPECT_EQ(clinic, 2);

    eraseCacheAndCookies();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(test::verdictOf(ui.messages[1].text), form->strings().LoadLangString(text::CleaningDone));
    const std::vector<std::string> none{form->strings().LoadLangString(text::ListClearedItem)};
    EXPECT_EQ(view.listItems("LstB2"), none);
    EXPECT_EQ(view.listItems("LstB3"), none);
}

// Never a button that silently does nothing: a part whose set-up fails is named with why, at
// once, and its buttons stay off, even after a cleaning run turned the start buttons back on.
TEST_F(Startup, AShredderThatCannotStartIsToldAndItsButtonsStayOff) {
    struct NoProcessId : platform::LinuxProcessTable {
        std::int64_t currentProcessId() override { throw std::runtime_error("no process id"); }
    } table;
    start(table);
    EXPECT_FALSE(form->shredderPage());
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].icon, ui::MsgIcon::Critical);
    EXPECT_EQ(ui.messages[0].text,
              "Quenvor could not start a part of the program, so that part is not available in this window:\r\n"
              "the File Shredder (files and folders cannot be shredded now): no process id\r\n\r\n"
              "Close Quenvor and start it again. If this happens again, the reason above tells what failed.");
    eraseCacheAndCookies();
    EXPECT_EQ(ui.messages.size(), 2u);  // the run itself works
    for (const char* button : {"cmdFile", "cmdFolder", "cmdDelete"}) EXPECT_FALSE(view.isEnabled(button)) << button;
    EXPECT_TRUE(view.isEnabled("cmdNext"));
}

}  // namespace
}  // namespace quenvor::shell
