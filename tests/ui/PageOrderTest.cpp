#include "ui/PageOrder.h"

#include <gtest/gtest.h>

#include "platform/EmbeddedStringResource.h"
#include "shell/PageNavigation.h"
#include "support/FakeFormView.h"
#include "ui/StringTable.h"

namespace quenvor::ui {
namespace {

TEST(PageOrder, StepsWrapAroundAndHomeAndEndGoToTheEnds) {
    struct Case {
        int from;
        PageStep step;
        int to;
    };
    const Case cases[] = {{1, PageStep::Next, 2},     {4, PageStep::Next, 1},  {1, PageStep::Previous, 4},
                          {3, PageStep::Previous, 2}, {3, PageStep::First, 1}, {2, PageStep::Last, 4}};
    for (const auto& c : cases) EXPECT_EQ(PageOrder::step(c.from, c.step), c.to) << c.from;
    EXPECT_EQ(PageOrder::tabCaption(3, 2), "lblP1Tab3_1");
}

// Told by what the pages show, so a strip raised without its page does not mislead it.
TEST(PageOrder, ShownIsThePageThePagesShowed) {
    platform::EmbeddedStringResource res;
    StringTable strings{&res, nullptr};
    test::FakeFormView view;
    shell::PageNavigation nav{view, strings};
    EXPECT_EQ(PageOrder::shown(view), 1);  // as designed, before any page was shown
    for (int page : {2, 3, 4, 1, 4}) {
        nav.lblP1Tab_Click(page);
        EXPECT_EQ(PageOrder::shown(view), page);
    }
    nav.imgTab4_Click();
    EXPECT_EQ(PageOrder::shown(view), 4);
}

}  // namespace
}  // namespace quenvor::ui
