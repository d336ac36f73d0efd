#include "shredder/ShredMessages.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/EmbeddedStringResource.h"
#include "platform/Utf8Path.h"
#include "support/ScriptedUi.h"
#include "ui/StringTable.h"

namespace quenvor::shredder {
namespace {

// Accounts the page only gives after races or crashes that its own tests do not stage: each
// must keep every warning it is made of, never only the reassuring part.
TEST(ShredMessages, AccountsOfRarerEndingsKeepEveryWarning) {
    platform::EmbeddedStringResource res;
    test::ScriptedUi ui;
    ui::StringTable strings{&res, &ui};
    strings.setLanguage(ui::kEnglish);
    const ShredMessages say([&](int id) { return strings.LoadLangString(id); });
    const std::string file = platform::shownPath("/home/ana/report.odt"), folder = platform::shownPath("/home/ana/old");

    ShredResult remains;
    remains.storage.outcome = platform::OverwriteOutcome::MayRemain;
    remains.storage.reason = platform::RemainReason::CopyOnWrite;
    FolderShred::Outcome unchecked;
    unchecked.choiceMoved = true;
    unchecked.unchecked = {platform::shownPath("/home/ana/old/a.txt")};
    FolderShred::Outcome stopped;
    stopped.aborted = true;
    stopped.choiceMoved = true;  // a stop says what stays, wherever the folder went

    struct Case {
        const char* name;
        ShredMessages::Shown shown;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {"file moved, contents may remain",
         say.fileResult(file, remains, true),
         {"while that went on it was moved",
          "\r\n" + file +
              "\r\n\r\nThe file was removed, but its old contents may "
              "remain on the disk:\r\n" +
              file,
          "(copy-on-write)"}},
        {"folder moved, passes unchecked",
         say.folderResult(folder, unchecked, {}, 3),
         {"while that went on it was moved", "The folder was permanently deleted.\r\n\r\nQuenvor could not check",
          platform::shownPath("/home/ana/old/a.txt")}},
        {"folder stopped after it moved",
         say.folderResult(folder, stopped, {}, 1),
         {"Shredding was stopped: 1 file was shredded.", "The folder itself stays, with no files left in it."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(c.shown.warn);
        for (const auto& part : c.says) EXPECT_NE(c.shown.text.find(part), std::string::npos) << c.shown.text;
    }
    EXPECT_EQ(say.folderResult(folder, stopped, {}, 1).text.find("was moved"), std::string::npos);

    // A recorded run that cannot be finished names what it is about: the choice, or the record.
    EXPECT_EQ(say.resumeRefused(true, "/c").rfind("The shred was not finished", 0), 0u);
    EXPECT_EQ(say.resumeRefused(false, "/r").rfind("A record of an interrupted shred could not be read", 0), 0u);
    EXPECT_NE(say.resumeRefused(false, "/r").find("\r\n" + platform::shownPath("/r")), std::string::npos);
}

}  // namespace
}  // namespace quenvor::shredder
