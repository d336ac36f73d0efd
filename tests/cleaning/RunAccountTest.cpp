#include "cleaning/RunAccount.h"

#include <gtest/gtest.h>

#include "platform/EmbeddedStringResource.h"
#include "support/ScriptedUi.h"
#include "text/TextIds.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {
namespace {

class Account : public ::testing::Test {
protected:
    test::ScriptedUi ui;
    platform::EmbeddedStringResource res;
    ui::StringTable strings{&res, &ui};
    RunAccount account{strings};
};

TEST_F(Account, CountsAndSizesReadAsEachLanguageWritesThem) {
    struct Case {
        std::int32_t language;
        std::uint64_t items, bytes;
        const char *count, *size;
    } cases[] = {
        {ui::kEnglish, 0, 0, "0", "0 B"},
        {ui::kEnglish, 999, 1023, "999", "1,023 B"},
        {ui::kEnglish, 80020, 1536, "80,020", "1.5 KB"},
        {ui::kEnglish, 1234567, 1288490188, "1,234,567", "1.2 GB"},
        {ui::kSpanish, 80020, 1288490188, "80.020", "1,2 GB"},
        {ui::kSpanish, 1000000, 10ULL * 1024 * 1024 - 1, "1.000.000", "10,0 MB"},
    };
    for (const auto& c : cases) {
        strings.setLanguage(c.language);
        EXPECT_EQ(account.count(c.items), c.count);
        EXPECT_EQ(account.size(c.bytes), c.size);
    }
}

TEST_F(Account, SaysWhatWentInReadingOrderAndWhatWasKept) {
    strings.setLanguage(ui::kEnglish);
    common::CleanReport report;
    EXPECT_EQ(account.text(report, false), "There was nothing to remove.");
    report.removed(common::CleanArea::Cookies, 2);
    report.removed(common::CleanArea::Cache, 3, 2048);
    report.removed(common::CleanArea::History, 0);
    report.keptSite("localhost");
    EXPECT_EQ(account.text(report, true), "Removed:\n" + strings.LoadLangString(text::AreaInternetFiles) +
                                              ": 3 items, 2.0 KB\nCookies: 2 items\n"
                                              "Kept: your bookmarks and saved passwords.\n"
                                              "Kept: the cookies and site data of 1 site you keep (localhost).");
    report.keptSite("example.com");
    strings.setLanguage(ui::kSpanish);
    EXPECT_NE(account.text(report, false).find("de 2 sitios que conservas"), std::string::npos);
}

}  // namespace
}  // namespace quenvor::cleaning
