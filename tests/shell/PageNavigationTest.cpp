#include "shell/PageNavigation.h"

#include <gtest/gtest.h>

#include <array>

#include "platform/EmbeddedStringResource.h"
#include "support/FakeFormView.h"
#include "ui/FormDesign.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

using test::FakeFormView;

class Pages : public ::testing::Test {
protected:
    platform::EmbeddedStringResource res;
    ui::StringTable strings{&res, nullptr};
    FakeFormView view;
    PageNavigation nav{view, strings};
    Pages() { strings.setLanguage(ui::kEnglish); }

    // Shown (1), hidden (0) for each control named, in order.
    void expectVisibility(const std::vector<std::string>& names, bool visible) {
        for (const auto& n : names) EXPECT_EQ(view.isVisible(n), visible) << n;
    }
};

const std::vector<std::string> kPage1 = {"lblStart", "LstB2", "LstB3", "lblCookies", "cmdNext"};
const std::vector<std::string> kPage2 = {"lblShredder", "lblDeleteSel", "cmbSecure", "cmdFile",
                                         "cmdFolder",   "cmdDelete",    "lblStatus", "lblChosen"};
const std::vector<std::string> kPage3 = {"pSettings", "cmdSave"};
const std::vector<std::string> kAlwaysHidden = {"lblStat", "cmdCancel"};

TEST_F(Pages, EachPageShowsExactlyItsControls) {
    nav.ShowShredderPage();
    expectVisibility(kPage2, true);
    expectVisibility(kPage1, false);
    expectVisibility(kPage3, false);
    expectVisibility({"lblAbout", "lblRecentFiles"}, false);
    expectVisibility(kAlwaysHidden, false);
    EXPECT_EQ(view.at("lblTitle").caption, "File Shredder");
    EXPECT_EQ(view.front.back(), "pTab1_1");

    nav.ShowSettingsPage();
    expectVisibility(kPage3, true);
    expectVisibility(kPage1, false);
    expectVisibility(kPage2, false);
    expectVisibility({"lblAbout", "pbCurrentPrgrs"}, false);
    expectVisibility(kAlwaysHidden, false);
    EXPECT_EQ(view.at("lblTitle").caption, "Erase method");
    EXPECT_EQ(view.front.back(), "pTab1_2");

    nav.ShowAboutPage();
    expectVisibility({"lblAbout"}, true);
    expectVisibility(kPage1, false);
    expectVisibility(kPage2, false);
    expectVisibility(kPage3, false);
    expectVisibility({"lblRecentFiles", "pbCurrentPrgrs"}, false);
    EXPECT_EQ(view.at("lblTitle").caption, "About this software");
    EXPECT_EQ(view.front.back(), "pTab1_3");

    nav.ShowTracksPage();
    expectVisibility(kPage1, true);
    expectVisibility({"lblRecentFiles"}, true);
    expectVisibility(kPage2, false);
    expectVisibility(kPage3, false);
    expectVisibility({"lblAbout", "pbCurrentPrgrs"}, false);
    EXPECT_EQ(view.at("lblTitle").caption, "You always leave traces behind");
    EXPECT_EQ(view.front.back(), "pTab1_0");

    // Help and Quit belong to every page.
    expectVisibility({"cmdHelp", "cmdQuit"}, true);
}

TEST_F(Pages, SomeControlsAreLeftAsTheyWere) {
    // The settings box covers the list heading, which the Settings page does not touch.
    nav.ShowTracksPage();
    nav.ShowSettingsPage();
    EXPECT_TRUE(view.isVisible("lblRecentFiles"));
    nav.ShowAboutPage();
    nav.ShowSettingsPage();
    EXPECT_FALSE(view.isVisible("lblRecentFiles"));

    // The shredder page leaves the progress bar to the shredder.
    view.setVisible("pbCurrentPrgrs", true);
    nav.ShowShredderPage();
    EXPECT_TRUE(view.isVisible("pbCurrentPrgrs"));
    view.setVisible("pbCurrentPrgrs", false);
    nav.ShowShredderPage();
    EXPECT_FALSE(view.isVisible("pbCurrentPrgrs"));
}

TEST_F(Pages, LeavingTheShredderMidRunHidesItsProgressAndComingBackEmptiesTheStatus) {
    nav.ShowShredderPage();
    for (const char* n : {"pbCurrentPrgrs", "lblStat", "cmdCancel"}) view.setVisible(n, true);
    view.setCaption("lblStatus", "Overwriting 3 of 8");
    nav.ShowAboutPage();
    expectVisibility({"pbCurrentPrgrs", "lblStat", "cmdCancel", "lblStatus"}, false);
    nav.ShowShredderPage();
    EXPECT_EQ(view.at("lblStatus").caption, "");
    EXPECT_TRUE(view.isVisible("lblStatus"));
    expectVisibility({"pbCurrentPrgrs", "lblStat", "cmdCancel"}, false);
}

TEST_F(Pages, KeyboardOrderFollowsEachPage) {
    auto startsWith = [](const std::vector<std::string>& order, const std::vector<std::string>& head) {
        return order.size() >= head.size() && std::equal(head.begin(), head.end(), order.begin());
    };
    nav.ShowTracksPage();
    EXPECT_TRUE(startsWith(view.keyboardOrder(), {"cmdNext", "LstB2", "LstB3"}));
    nav.ShowShredderPage();
    EXPECT_TRUE(startsWith(view.keyboardOrder(), {"cmdFile", "cmdFolder", "cmdDelete", "cmbSecure"}));
    for (const char* off : {"LstB2", "LstB3", "chk1", "cmdSave", "cmdCancel"})
        EXPECT_FALSE(view.at(off).tabStop) << off;

    nav.ShowSettingsPage();
    // Left column top to bottom, then the right column top to bottom.
    EXPECT_TRUE(startsWith(view.keyboardOrder(), {"chk1", "chk2", "chk3", "chk6", "chk4", "chk5"}));
    for (const char* on : {"cmdSave", "cmbLanguage"}) EXPECT_TRUE(view.at(on).tabStop) << on;
    for (const char* off : {"cmdNext", "cmbSecure", "cmdFile", "LstB2"}) EXPECT_FALSE(view.at(off).tabStop) << off;

    nav.ShowAboutPage();
    EXPECT_EQ(view.keyboardOrder(), (std::vector<std::string>{"cmdHelp", "cmdQuit"}));
}

TEST_F(Pages, TabHandlersBringTheirStripAndPage) {
    nav.lblP1Tab_Click(3);
    EXPECT_TRUE(view.isVisible("pSettings"));
    EXPECT_EQ(view.front.back(), "pTab1_2");
    nav.imgP1Tab_Click(2);
    EXPECT_TRUE(view.isVisible("cmdFile"));
    nav.imgP1Tab_Click(4);
    EXPECT_TRUE(view.isVisible("lblAbout"));
    nav.lblP1Tab_Click(1);
    EXPECT_TRUE(view.isVisible("LstB2"));
    EXPECT_EQ(view.front.back(), "pTab1_0");

    // Clicking the same tab again runs its page again: the status line empties.
    nav.lblP1Tab_Click(2);
    view.setCaption("lblStatus", "have been deleted");
    nav.lblP1Tab_Click(2);
    EXPECT_EQ(view.at("lblStatus").caption, "");
}

TEST_F(Pages, TheAboutStripPictureOnlyRaisesTheShredderStrip) {
    nav.ShowAboutPage();
    view.front.clear();
    nav.imgTab4_Click();
    EXPECT_EQ(view.front, (std::vector<std::string>{"pTab1_1"}));
    EXPECT_TRUE(view.isVisible("lblAbout"));
    EXPECT_FALSE(view.isVisible("cmdFile"));
    nav.imgP1Tab_Click(4);
    EXPECT_EQ(view.front.back(), "pTab1_3");
}

TEST_F(Pages, HoveringATabMakesItBoldOnEveryStripUntilAnotherIsHovered) {
    nav.P1Tab_MouseMove(2);
    for (int strip = 0; strip < ui::kTabCount; ++strip) {
        for (int tab = 1; tab <= ui::kTabCount; ++tab) {
            const auto name = ui::FormDesign::member("lblP1Tab" + std::to_string(tab), strip);
            const bool expected = tab == 2 || tab == strip + 1;
            EXPECT_EQ(view.isBold(name), expected) << name;
        }
    }
    nav.P1Tab_MouseMove(4);
    EXPECT_FALSE(view.isBold("lblP1Tab2_0"));
    EXPECT_TRUE(view.isBold("lblP1Tab2_1"));  // the strip's own tab
    EXPECT_TRUE(view.isBold("lblP1Tab4_0"));
    // The first strip's own caption keeps the bold of the design whatever is hovered.
    EXPECT_TRUE(view.isBold("lblP1Tab1_0"));
}

TEST_F(Pages, TitleFollowsALanguageChangedAfterStart) {
    nav.ShowTracksPage();
    strings.setLanguage(ui::kSpanish);
    nav.ShowShredderPage();
    EXPECT_EQ(view.at("lblTitle").caption, "Triturador de archivos");
}

TEST(TabStrips, TheFirstStripHasItsDesignedGeometry) {
    struct Place {
        const char* name;
        int left, top, width, height;
    };
    // Written out by hand from the design, not derived from the table under test.
    const Place designed[] = {
        {"imgP1Tab1_0", 390, 465, 1905, 315},  {"imgP1Tab2_0", 2295, 510, 1770, 270},
        {"imgP1Tab3_0", 4140, 510, 1650, 285}, {"imgP1Tab4_0", 5865, 525, 1665, 270},
        {"lblP1Tab1_0", 465, 510, 1755, 195},  {"lblP1Tab2_0", 2430, 555, 1560, 195},
        {"lblP1Tab3_0", 4240, 555, 1410, 195},
    };
    for (const auto& d : designed) {
        const auto* c = ui::FormDesign::find(d.name);
        ASSERT_TRUE(c) << d.name;
        EXPECT_EQ(c->parent, "pTab1_0") << d.name;
        EXPECT_EQ((std::array{c->left, c->top, c->width, c->height}), (std::array{d.left, d.top, d.width, d.height}))
            << d.name;
        EXPECT_FALSE(c->autoSize) << d.name;
    }
    const auto* about = ui::FormDesign::find("lblP1Tab4_0");
    EXPECT_EQ(about->left, 6555);
    EXPECT_EQ(about->top, 555);
    EXPECT_TRUE(about->autoSize);
    EXPECT_TRUE(ui::FormDesign::find("lblP1Tab1_0")->bold);
    EXPECT_FALSE(ui::FormDesign::find("lblP1Tab2_0")->bold);
}

TEST(TabStrips, EveryStripRaisesItsOwnTabAndKeepsTheOthersInPlace) {
    using ui::FormDesign;
    for (int strip = 1; strip < ui::kTabCount; ++strip) {
        for (int tab = 1; tab <= ui::kTabCount; ++tab) {
            const bool own = tab == strip + 1;
            for (const char* array : {"imgP1Tab", "lblP1Tab"}) {
                const std::string prefix = std::string(array) + std::to_string(tab);
                const auto* here = FormDesign::find(FormDesign::member(prefix, strip));
                const auto* first = FormDesign::find(FormDesign::member(prefix, 0));
                ASSERT_TRUE(here && first) << prefix << " " << strip;
                EXPECT_EQ(here->parent, FormDesign::member("pTab1", strip));
                EXPECT_EQ(here->left, first->left) << prefix << " " << strip;
                EXPECT_EQ(here->width, first->width) << prefix << " " << strip;
                if (tab == 1) {
                    // The first tab stands 45 twips lower where it is not current.
                    EXPECT_EQ(here->top, first->top + 45) << prefix << " " << strip;
                } else if (own) {
                    EXPECT_EQ(here->top, first->top - 45) << prefix << " " << strip;
                } else {
                    EXPECT_EQ(here->top, first->top) << prefix << " " << strip;
                }
                // Hot areas grow upwards: every tab's foot stays where it is.
                if (array[0] == 'i') {
                    EXPECT_EQ(here->top + here->height, first->top + first->height);
                } else {
                    EXPECT_EQ(here->bold, own);
                }
            }
        }
    }
}

TEST(TabOrder, AssigningAPlaceShiftsTheControlsBetween) {
    ui::TabOrder order({"a", "b", "c", "d", "e"});
    order.setTabIndex("d", 1);
    EXPECT_EQ(order.order(), (std::vector<std::string>{"a", "d", "b", "c", "e"}));
    order.setTabIndex("a", 3);
    EXPECT_EQ(order.order(), (std::vector<std::string>{"d", "b", "c", "a", "e"}));
    order.setTabIndex("b", 99);
    EXPECT_EQ(order.tabIndex("b"), 4);
    order.setTabIndex("zz", 0);
    EXPECT_EQ(order.tabIndex("zz"), -1);
    EXPECT_EQ(order.order().size(), 5u);
}

}  // namespace
}  // namespace quenvor::shell
