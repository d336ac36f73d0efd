#include "shell/KeepSites.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/EmbeddedStringResource.h"
#include "support/FakeFormView.h"
#include "support/Fakes.h"
#include "support/ScriptedUi.h"
#include "text/TextIds.h"
#include "ui/BusyState.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

using Rows = std::vector<std::string>;

class Keep : public ::testing::Test {
protected:
    platform::EmbeddedStringResource res;
    test::ScriptedUi ui;
    ui::StringTable strings{&res, &ui};
    test::FakeFormView view;
    test::MemorySettingsStore store;
    ui::BusyState busy;
    std::vector<std::string> handedOver;  // the run's list each time it was given one
    KeepSites keep{view, strings, &store,
                   ui,   busy,    [this](const cleaning::common::KeepList& k) { handedOver.push_back(k.serialize()); }};

    const Rows kRows = {"Cookie:ana@.shop.example/", "Cookie:ana@news.example/", "Cookie:ana@cart.shop.example/x",
                        "Cookie:ana@shop.example.evil/"};

    void start(const std::string& stored = {}) {
        if (!stored.empty()) store.values["QUENVOR/SETTINGS/KEEP"] = stored;
        keep.Load();
        view.setListItems("LstB3", kRows);
        keep.MarkRows();
    }
    void pick(int row) {
        view.at("LstB3").selected = row;
        keep.LstB3_Click();
    }
    std::string stored() { return store.values["QUENVOR/SETTINGS/KEEP"]; }
    static std::string kept(const std::string& row) { return row + " (kept)"; }
    std::string button() { return *view.caption("cmdKeep"); }
};

TEST_F(Keep, TheButtonKeepsThePickedRowsSiteWithItsSubdomainsAndReleasesIt) {
    start();
    EXPECT_FALSE(view.isEnabled("cmdKeep")) << "nothing is picked yet";
    pick(0);
    EXPECT_TRUE(view.isEnabled("cmdKeep"));
    EXPECT_EQ(button(), "&Keep this site");
    keep.cmdKeep_Click();
    EXPECT_EQ(stored(), "shop.example");
    EXPECT_EQ(handedOver.back(), "shop.example");
    // The site's subdomain is kept too; a longer name that only ends alike is not.
    EXPECT_EQ(view.listItems("LstB3"), (Rows{kept(kRows[0]), kRows[1], kept(kRows[2]), kRows[3]}));
    EXPECT_EQ(button(), "&Release this site");

    // Releasing from the subdomain's row lets go of the entry that keeps it.
    pick(2);
    EXPECT_EQ(button(), "&Release this site");
    keep.cmdKeep_Click();
    EXPECT_EQ(stored(), "");
    EXPECT_EQ(handedOver.back(), "");
    EXPECT_EQ(view.listItems("LstB3"), kRows);
    EXPECT_EQ(button(), "&Keep this site");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(Keep, TheContextMenuOffersWhatAppliesToThePickedRow) {
    start("news.example");
    EXPECT_EQ(handedOver, (Rows{"news.example"})) << "the stored list reaches the run at start";
    EXPECT_EQ(view.listItem("LstB3", 1), kept(kRows[1]));

    pick(1);
    view.menuPick = 1;
    keep.LstB3_ContextMenu();
    ASSERT_EQ(view.menus.size(), 1u);
    EXPECT_EQ(view.menus[0][0].text, "&Keep this site");
    EXPECT_FALSE(view.menus[0][0].enabled);
    EXPECT_TRUE(view.menus[0][1].enabled);
    EXPECT_EQ(stored(), "");
    EXPECT_EQ(view.listItem("LstB3", 1), kRows[1]);

    pick(3);
    view.menuPick = 0;
    keep.LstB3_ContextMenu();
    EXPECT_EQ(stored(), "shop.example.evil");
    EXPECT_EQ(view.listItem("LstB3", 3), kept(kRows[3]));

    // A dismissed menu changes nothing; nor does a menu with no row picked.
    keep.LstB3_ContextMenu();
    view.setListItems("LstB3", kRows);
    view.menuPick = 0;
    keep.LstB3_ContextMenu();
    EXPECT_FALSE(view.menus.back()[0].enabled);
    EXPECT_EQ(stored(), "shop.example.evil");
}

TEST_F(Keep, AStoreThatCannotBeWrittenIsSaidAndTheRowIsNotMarked) {
    start();
    store.failWrites = true;
    pick(1);
    keep.cmdKeep_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_NE(ui.messages[0].text.find(strings.LoadLangString(text::KeepSiteNotSaved)), std::string::npos);
    EXPECT_NE(ui.messages[0].text.find("news.example"), std::string::npos);
    EXPECT_NE(ui.messages[0].text.find(strings.LoadLangString(text::SettingsDiskFull)), std::string::npos);
    EXPECT_EQ(view.listItems("LstB3"), kRows);
    EXPECT_EQ(button(), "&Keep this site");
    EXPECT_EQ(handedOver.size(), 1u) << "the run keeps what it had";
    EXPECT_TRUE(keep.list().empty());
}

TEST_F(Keep, RowsFilledAnewAreMarkedAgainAndRowsWithoutASiteAreLeftAlone) {
    start("shop.example");
    // After a run the list is filled again, some rows still marked, the emptied line among them.
    const std::string cleared = strings.LoadLangString(text::ListClearedItem);
    view.setListItems("LstB3", {kRows[0], kept(kRows[1]), cleared});
    keep.MarkRows();
    EXPECT_EQ(view.listItems("LstB3"), (Rows{kept(kRows[0]), kRows[1], cleared}));
    pick(2);
    EXPECT_FALSE(view.isEnabled("cmdKeep"));
    keep.cmdKeep_Click();
    EXPECT_EQ(stored(), "shop.example");
    // While a run is going, nothing changes.
    pick(0);
    busy.beginRun(ui::BusyState::Run::Cleaning, view);
    keep.cmdKeep_Click();
    EXPECT_EQ(stored(), "shop.example");
}

TEST_F(Keep, TheMarkIsInTheUsersLanguage) {
    strings.setLanguage(ui::kSpanish);
    start("news.example");
    EXPECT_EQ(view.listItem("LstB3", 1), kRows[1] + " (se conserva)");
    pick(1);
    EXPECT_EQ(button(), "&Liberar este sitio");
}

}  // namespace
}  // namespace quenvor::shell
