#include "ui/ListedMessage.h"

#include <gtest/gtest.h>

namespace quenvor::ui {
namespace {

TEST(ListedMessage, NamesTheFirstTenAndCountsTheRestButNeverHidesAnAlwaysLine) {
    ListedMessage few("Heading", "...and %1 more.");
    few.add("a");
    few.add("b");
    EXPECT_EQ(few.text(), "Heading\r\na\r\nb");  // no count line when nothing is hidden

    ListedMessage many("Heading", "...and %1 more.");
    for (int i = 1; i <= 13; ++i) many.add("item " + std::to_string(i));
    many.addAlways("Firefox is running");
    const std::string t = many.text();
    EXPECT_NE(t.find("item 10"), std::string::npos);
    EXPECT_EQ(t.find("item 11"), std::string::npos);
    EXPECT_NE(t.find("Firefox is running"), std::string::npos);
    EXPECT_EQ(t.substr(t.size() - std::string("...and 3 more.").size()), "...and 3 more.");
    EXPECT_EQ(many.count(), 13u);
}

}  // namespace
}  // namespace quenvor::ui
