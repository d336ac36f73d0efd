// The words the shredder gives each kind of storage verdict.
#include "shredder/VerdictText.h"

#include <gtest/gtest.h>

#include <set>

#include "platform/EmbeddedStringResource.h"
#include "support/ScriptedUi.h"
#include "ui/StringTable.h"

namespace quenvor::shredder {
namespace {

using platform::RemainReason;

TEST(VerdictText, EveryReasonReadsDifferentlyInBothLanguages) {
    platform::EmbeddedStringResource resource;
    test::ScriptedUi ui;
    ui::StringTable table(&resource, &ui);
    for (auto lang : {ui::kEnglish, ui::kSpanish}) {
        table.setLanguage(lang);
        std::set<std::string> reasons;
        for (auto r :
             {RemainReason::CopyOnWrite, RemainReason::SharedExtents, RemainReason::Journal,
              RemainReason::NetworkOrUserSpace, RemainReason::Overlay, RemainReason::Stacked, RemainReason::Compressed,
              RemainReason::Moved, RemainReason::Unverifiable, RemainReason::LowerLayer}) {
            const std::string t = table.LoadLangString(textFor(r));
            EXPECT_FALSE(t.empty()) << static_cast<int>(r);
            EXPECT_TRUE(reasons.insert(t).second) << "two reasons read the same: " << t;
        }
        // A verdict without a reason never claims more than that nobody could tell.
        EXPECT_EQ(textFor(RemainReason::None), textFor(RemainReason::Unverifiable));
        EXPECT_NE(table.LoadLangString(text::MayRemainCount).find("%1"), std::string::npos);
        EXPECT_NE(table.LoadLangString(text::MayRemainConfirmNote).find("%1"), std::string::npos);
    }
    EXPECT_TRUE(ui.messages.empty());
}

}  // namespace
}  // namespace quenvor::shredder
