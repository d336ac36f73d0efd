#include "ui/StringTable.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

#include "platform/EmbeddedStringResource.h"
#include "support/FakeFormView.h"
#include "support/ScriptedUi.h"
#include "text/TextIds.h"
#include "ui/Accelerator.h"
#include "ui/IFormView.h"

namespace quenvor::ui {
namespace {

using test::FakeFormView;
using test::ScriptedUi;

class RealTable : public ::testing::Test {
protected:
    platform::EmbeddedStringResource resource;
    ScriptedUi ui;
    StringTable table{&resource, &ui};
    std::string text(std::int32_t id, std::int32_t lang) {
        table.setLanguage(lang);
        return table.LoadLangString(id);
    }
};

TEST_F(RealTable, BothLanguagesGiveTheirOwnTexts) {
    EXPECT_EQ(text(101, kEnglish).rfind("This program helps you to erase the tracks", 0), 0u);
    EXPECT_EQ(text(101, kSpanish).rfind("Este programa te ayuda a borrar", 0), 0u);
    EXPECT_EQ(text(154, kEnglish), "Quenvor");
    EXPECT_EQ(text(154, kSpanish), "Quenvor");
    EXPECT_EQ(text(140, kSpanish), "Español");
    EXPECT_EQ(text(135, kSpanish), "Configuración");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RealTable, TextsKeepTheirExactSpacing) {
    EXPECT_EQ(text(110, kEnglish), "You always leave traces behind");
    EXPECT_EQ(text(127, kSpanish), "Escoger una &carpeta");
    EXPECT_EQ(text(127, kEnglish), "Sele&ct a folder");
    EXPECT_EQ(text(104, kEnglish), "Secure (Recommended)");
}

TEST_F(RealTable, RealLineFeedsAndLiteralBackslashNStayApart) {
    const std::string en = text(144, kEnglish);
    const std::string es = text(144, kSpanish);
    EXPECT_EQ(en, "Are you sure you want to remove this file?\nYou can NEVER get it back.");
    EXPECT_EQ(es, "¿Estás seguro(a) de querer borrar este archivo?\\nNUNCA más lo podrás recuperar.");
    // Once the display replacement has run, both come out as two lines.
    EXPECT_EQ(StringTable::ExpandLineBreaks(es),
              "¿Estás seguro(a) de querer borrar este archivo?\r\nNUNCA más lo podrás recuperar.");
    EXPECT_NE(text(101, kEnglish).find("opened.\\n\\nHere"), std::string::npos);
    EXPECT_NE(text(151, kSpanish).find("Vivaldi)?\nUn navegador"), std::string::npos);
}

TEST_F(RealTable, EveryShownEntryExistsInBothLanguages) {
    for (std::int32_t id = 101; id <= 163; ++id) {
        if (id == 129 || id == 156 || id == 157) continue;  // unused ids
        EXPECT_FALSE(text(id, kEnglish).empty()) << id;
        EXPECT_FALSE(text(id, kSpanish).empty()) << id;
    }
}

// Alt+letter must reach one control: two buttons of one page on one letter make the key pick
// whichever comes first. Help and Quit stand on every page.
TEST_F(RealTable, EachPagesButtonsHaveTheirOwnLetterInEachLanguage) {
    const std::vector<std::vector<int>> pages = {
        {text::KeepSiteButton, text::EraseTracksButton},
        {text::SelectFileButton, text::SelectFolderButton, text::DeleteButton, text::AbortButton},
        {text::SaveButton},
        {}};
    for (const std::int32_t lang : {kEnglish, kSpanish})
        for (std::size_t page = 0; page < pages.size(); ++page) {
            std::map<char, int> taken;
            auto ids = pages[page];
            ids.insert(ids.end(), {text::HelpButton, text::QuitButton});
            for (const int id : ids) {
                const char key = Accelerator::key(text(id, lang));
                EXPECT_NE(key, 0) << id << " in " << lang;
                const auto [at, fresh] = taken.emplace(key, id);
                EXPECT_TRUE(fresh) << "page " << page + 1 << " in " << lang << ": " << id << " and " << at->second
                                   << " both on Alt+" << key;
            }
        }
}

// Each build carries the words that are true on its system, in both languages.
TEST_F(RealTable, NoTextNamesAnotherSystemsParts) {
#ifdef _WIN32
    EXPECT_NE(text(text::ConfirmCleaning, kEnglish).find("Internet Explorer, Firefox"), std::string::npos);
    EXPECT_NE(text(text::ShredderPageIntro, kSpanish).find("Windows"), std::string::npos);
#else
    for (const std::int32_t lang : {kEnglish, kSpanish})
        for (std::int32_t id = 1; id < 1000; ++id) {
            const std::string t = text(id, lang);
            // 120 and 122 name the Run field and the media player's list, which no page shows.
            if (id == text::ClearRunFieldOption || id == text::ClearMediaPlayerOption) continue;
            for (const char* word : {"Windows", "Explorer", "Recycle", "reciclaje", "Temporary Internet", "registry"})
                EXPECT_EQ(t.find(word), std::string::npos) << id << " in " << lang << " says " << word << ": " << t;
        }
    EXPECT_NE(text(text::ConfirmCleaning, kSpanish).find("Firefox, LibreWolf, Waterfox y los navegadores Chromium"),
              std::string::npos);
#endif
}

TEST_F(RealTable, MissingEntriesAreEmptyWithoutAMessage) {
    EXPECT_EQ(text(129, kEnglish), "");
    EXPECT_EQ(text(156, kSpanish), "");
    EXPECT_EQ(text(5000, kEnglish), "");
    EXPECT_EQ(text(0, kEnglish), "");
    EXPECT_EQ(text(-3, kEnglish), "");
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(RealTable, ALanguageWithoutATableReadsEnglish) {
    EXPECT_EQ(text(163, 1033), "&Quit");
    EXPECT_EQ(text(139, 0), "English");
    EXPECT_EQ(text(163, 1053 + 65536), "&Quit");  // only the low 16 bits name the language
}

// A resource made of hand-built blocks.
class HandBlocks : public platform::IStringResource {
public:
    std::map<std::pair<int, std::uint16_t>, std::vector<std::byte>> blocks;
    std::optional<std::span<const std::byte>> findBlock(int block, std::uint16_t language) override {
        auto it = blocks.find({block, language});
        if (it == blocks.end()) return std::nullopt;
        return std::span<const std::byte>(it->second);
    }
    bool hasLanguage(std::uint16_t language) override {
        for (const auto& [key, bytes] : blocks)
            if (key.second == language) return true;
        return false;
    }
};

std::vector<std::byte> record(const std::u16string& s, std::uint16_t claimed) {
    std::vector<std::byte> out{std::byte(claimed & 0xFF), std::byte(claimed >> 8)};
    for (char16_t c : s) {
        out.push_back(std::byte(c & 0xFF));
        out.push_back(std::byte(c >> 8));
    }
    return out;
}

void append(std::vector<std::byte>& to, const std::vector<std::byte>& more) {
    to.insert(to.end(), more.begin(), more.end());
}

TEST(StringTableBlocks, WalksPastEmptyPositionsToTheEntry) {
    HandBlocks res;
    std::vector<std::byte> b;
    append(b, record(u"", 0));                               // id 32
    append(b, record(u"first", 5));                          // id 33
    for (int i = 0; i < 13; ++i) append(b, record(u"", 0));  // ids 34..46
    append(b, record(u"last \u00e9\U0001F600", 8));          // id 47, with a surrogate pair
    res.blocks[{3, 1053}] = b;
    ScriptedUi ui;
    StringTable t(&res, &ui);
    t.setLanguage(1053);
    EXPECT_EQ(t.LoadLangString(33), "first");
    EXPECT_EQ(t.LoadLangString(47), "last é😀");
    EXPECT_EQ(t.LoadLangString(32), "");
    EXPECT_EQ(t.LoadLangString(40), "");
    t.setLanguage(1034);
    EXPECT_EQ(t.LoadLangString(33), "first");  // no Spanish table at all: English
    EXPECT_TRUE(ui.messages.empty());
}

TEST(StringTableBlocks, ALanguageWithATableNeverBorrowsFromAnother) {
    HandBlocks res;
    std::vector<std::byte> en, es;
    append(en, record(u"english", 7));
    append(es, record(u"", 0));
    for (int i = 0; i < 15; ++i) {
        append(en, record(u"", 0));
        append(es, record(u"", 0));
    }
    res.blocks[{1, 1053}] = en;
    res.blocks[{2, 1034}] = es;
    StringTable t(&res, nullptr);
    t.setLanguage(1034);
    EXPECT_EQ(t.LoadLangString(0), "");
}

TEST(StringTableBlocks, ADamagedBlockIsReportedOnceAndGivesNoText) {
    HandBlocks res;
    std::vector<std::byte> b;
    append(b, record(u"ok", 2));       // id 16
    append(b, record(u"short", 200));  // id 17 claims far more than the block holds
    res.blocks[{2, 1053}] = b;
    ScriptedUi ui;
    StringTable t(&res, &ui);
    t.setLanguage(1053);
    EXPECT_EQ(t.LoadLangString(16), "ok");  // found before the damage
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(t.LoadLangString(20), "");
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Quenvor");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Critical);
    EXPECT_EQ(ui.messages[0].text.rfind("9:", 0), 0u);

    // A block cut inside a length field is damaged too.
    res.blocks[{2, 1053}] = {std::byte{0}};
    EXPECT_EQ(t.LoadLangString(18), "");
    EXPECT_EQ(ui.messages.size(), 2u);
}

TEST(StringTableBlocks, AnEmptyBlockGivesNoTextAndNoMessage) {
    HandBlocks res;
    res.blocks[{2, 1053}] = {};
    ScriptedUi ui;
    StringTable t(&res, &ui);
    t.setLanguage(1053);
    EXPECT_EQ(t.LoadLangString(20), "");
    EXPECT_TRUE(ui.messages.empty());
}

TEST(LocalizeCaptions, NumericCaptionsBecomeTextsOthersStay) {
    platform::EmbeddedStringResource res;
    StringTable t(&res, nullptr);
    t.setLanguage(kSpanish);
    FakeFormView view;
    t.LocalizeCaptions(view);
    EXPECT_EQ(view.at("lblTitle").caption, "Siempre dejas huellas detrás");
    EXPECT_EQ(view.at("cmdQuit").caption, "&Salir");
    EXPECT_EQ(view.at("chk5").caption, "Borrar archivos temporales");
    EXPECT_EQ(view.at("lblP1Tab3_1").caption, "Configuración");
    EXPECT_EQ(view.at("lblP1Tab4_3").caption, "Acerca de");
    EXPECT_EQ(view.at("lblStat").caption, "0%");  // not a number
    EXPECT_EQ(view.at("lblStart").caption, "");   // empty design caption
    EXPECT_FALSE(view.at("LstB2").caption.has_value());
}

TEST(LocalizeCaptions, OneFailingControlDoesNotStopTheRest) {
    platform::EmbeddedStringResource res;
    StringTable t(&res, nullptr);
    t.setLanguage(kEnglish);
    FakeFormView view;
    view.throwOnCaption = true;
    t.LocalizeCaptions(view);
    EXPECT_EQ(view.at("lblTitle").caption, "110");
    EXPECT_EQ(view.at("cmdHelp").caption, "&Help");
}

}  // namespace
}  // namespace quenvor::ui
