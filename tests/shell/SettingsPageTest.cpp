#include "shell/SettingsPage.h"

#include <gtest/gtest.h>

#include <map>
#include <utility>

#include "platform/EmbeddedStringResource.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"
#include "text/TextIds.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

// A store whose chosen keys fail, and which may have set a damaged file aside.
class TroubledStore : public test::MemorySettingsStore {
public:
    std::map<std::string, platform::Error> failing;
    std::string setAside;
    std::vector<std::string> attempts;

    platform::Status write(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& value) override {
        attempts.push_back(key);
        if (auto it = failing.find(key); it != failing.end()) return it->second;
        return MemorySettingsStore::write(app, section, key, value);
    }
    std::string takeSetAsideCopy() override { return std::exchange(setAside, {}); }
};

class Settings : public ::testing::Test {
protected:
    platform::EmbeddedStringResource res;
    test::ScriptedUi ui;
    ui::StringTable strings{&res, &ui};
    test::FakeFormView view;
    test::MemorySettingsStore store;
    SettingsPage page{view, strings, &store, ui};

    void stored(const std::string& key, const std::string& value) { store.values["QUENVOR/SETTINGS/" + key] = value; }
    std::string value(const std::string& key) { return store.values["QUENVOR/SETTINGS/" + key]; }
    void pickLanguage(int index) {
        view.addComboItem("cmbLanguage", "English");
        view.addComboItem("cmbLanguage", "Spanish");
        view.setComboItemData("cmbLanguage", 0, ui::kEnglish);
        view.setComboItemData("cmbLanguage", 1, ui::kSpanish);
        view.setComboSelectedIndex("cmbLanguage", index);
        page.cmbLanguage_Click();
    }
};

TEST_F(Settings, FirstRunIsEnglishWithEveryOptionButTempTicked) {
    // Start from the opposite of the defaults so every box is really written.
    for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), 2);
    page.LoadLanguage();
    page.LoadOptions();
    EXPECT_EQ(strings.language(), ui::kEnglish);
    const int expected[] = {1, 1, 1, 1, 0, 1};
    for (int n = 1; n <= 6; ++n) EXPECT_EQ(view.checkValue("chk" + std::to_string(n)), expected[n - 1]) << n;
    EXPECT_TRUE(store.writes.empty());
}

TEST_F(Settings, StoredValuesAreReadAndBadOnesLeaveTheDesignState) {
    stored("LANGUAGE", "1034");
    stored("S1", "1");
    stored("S2", "0");
    stored("S3", "2");
    stored("S4", "7");    // out of range
    stored("S5", "yes");  // not a number
    stored("S6", " 0 ");
    page.LoadLanguage();
    page.LoadOptions();
    EXPECT_EQ(strings.language(), ui::kSpanish);
    EXPECT_EQ(view.checkValue("chk1"), 1);
    EXPECT_EQ(view.checkValue("chk2"), 0);
    EXPECT_EQ(view.checkValue("chk3"), 2);
    EXPECT_EQ(view.checkValue("chk4"), 1);  // design: ticked
    EXPECT_EQ(view.checkValue("chk5"), 1);  // design: ticked
    EXPECT_EQ(view.checkValue("chk6"), 0);

    stored("LANGUAGE", "English");
    strings.setLanguage(0);
    page.LoadLanguage();
    EXPECT_EQ(strings.language(), 0);
    EXPECT_EQ(strings.LoadLangString(text::QuitButton), "&Quit");  // the window stays readable
}

TEST_F(Settings, PickingALanguageStoresItAtOnceWithoutAMessage) {
    pickLanguage(1);
    EXPECT_EQ(value("LANGUAGE"), "1034");
    EXPECT_EQ(strings.language(), ui::kSpanish);
    EXPECT_TRUE(page.languageChanged());
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(store.writes, (std::vector<std::string>{"LANGUAGE"}));
}

TEST_F(Settings, SaveWithoutALanguagePickStoresTheOptionsSilently) {
    view.setCheckValue("chk4", 0);
    view.setCheckValue("chk5", 2);
    page.cmdSave_Click();
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(store.writes, (std::vector<std::string>{"S1", "S2", "S3", "S4", "S5", "S6"}));
    EXPECT_EQ(value("S1"), "0");
    EXPECT_EQ(value("S4"), "0");
    EXPECT_EQ(value("S5"), "2");
    EXPECT_EQ(value("S6"), "1");
}

TEST_F(Settings, SaveAfterAPickShowsTheRestartNoticeInTheNewLanguageEveryTime) {
    strings.setLanguage(ui::kEnglish);
    pickLanguage(1);
    page.cmdSave_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Tienes que reiniciar el programa para aplicar el cambio de idioma.");
    EXPECT_EQ(ui.messages[0].title, "Quenvor");
    EXPECT_EQ(ui.messages[0].icon, ui::MsgIcon::Information);
    EXPECT_EQ(ui.messages[0].buttons, ui::MsgButtons::Ok);
    EXPECT_EQ(value("S6"), "1");
    page.cmdSave_Click();
    EXPECT_EQ(ui.messages.size(), 2u);

    // Picking the language already in force still counts as a change.
    test::ScriptedUi ui2;
    SettingsPage fresh{view, strings, &store, ui2};
    view.setComboSelectedIndex("cmbLanguage", 1);
    fresh.cmbLanguage_Click();
    fresh.cmdSave_Click();
    EXPECT_EQ(ui2.messages.size(), 1u);
}

TEST_F(Settings, AStoreThatCannotWriteIsReportedInsteadOfIgnored) {
    store.failWrites = true;
    page.cmdSave_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "Your settings could not be saved:\r\nThe disk is full.");
    EXPECT_EQ(ui.messages[0].icon, ui::MsgIcon::Exclamation);
}

class TroubledSettings : public Settings {
protected:
    TroubledStore troubled;
    SettingsPage page2{view, strings, &troubled, ui};
};

TEST_F(TroubledSettings, OneFailingOptionCostsNoOtherAndIsToldOnceInTheUsersLanguage) {
    strings.setLanguage(ui::kSpanish);
    troubled.failing["S1"] = platform::Error{5, "Input/output error"};
    troubled.failing["S4"] = platform::Error{13, "Permission denied"};
    page2.cmdSave_Click();
    EXPECT_EQ(troubled.attempts, (std::vector<std::string>{"S1", "S2", "S3", "S4", "S5", "S6"}));
    EXPECT_EQ(troubled.writes, (std::vector<std::string>{"S2", "S3", "S5", "S6"}));
    ASSERT_EQ(ui.messages.size(), 1u);
    // An error the table has no words for leaves the store's English out.
    EXPECT_EQ(ui.messages[0].text, "No se pudo guardar tu configuración:");

    troubled.failing.erase("S1");
    page2.cmdSave_Click();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].text,
              "No se pudo guardar tu configuración:\r\nNo se puede escribir en el archivo de configuración o en su "
              "carpeta.");
}

TEST_F(TroubledSettings, AWriteThatWorkedIsNoFailureAndADamagedFileSetAsideIsToldOnce) {
    troubled.setAside = "/home/user/.config/QUENVOR/QUENVOR.conf.damaged-20260101-120000";
    page2.cmdSave_Click();
    EXPECT_EQ(troubled.writes.size(), 6u);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text,
              "Your settings file could not be read. It was written anew with the settings in use, and the unreadable "
              "file was kept as:\r\n/home/user/.config/QUENVOR/QUENVOR.conf.damaged-20260101-120000");
    EXPECT_EQ(ui.messages[0].icon, ui::MsgIcon::Exclamation);
    page2.cmdSave_Click();
    EXPECT_EQ(ui.messages.size(), 1u);

    // The language pick is a write like any other.
    troubled.setAside = "/elsewhere.damaged";
    view.addComboItem("cmbLanguage", "English");
    view.setComboItemData("cmbLanguage", 0, ui::kEnglish);
    view.setComboSelectedIndex("cmbLanguage", 0);
    page2.cmbLanguage_Click();
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_NE(ui.messages[1].text.find("/elsewhere.damaged"), std::string::npos);
    EXPECT_EQ(troubled.values["QUENVOR/SETTINGS/LANGUAGE"], "1053");
}

}  // namespace
}  // namespace quenvor::shell
