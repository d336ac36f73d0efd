#include "ui/NumberText.h"

#include <gtest/gtest.h>

namespace quenvor::ui {
namespace {

TEST(NumberText, AcceptsStoredDecimalText) {
    EXPECT_EQ(toInt32("1053"), 1053);
    EXPECT_EQ(toInt32(" 1034 "), 1034);
    EXPECT_EQ(toInt32("-7"), -7);
    EXPECT_EQ(toInt32("+2"), 2);
    EXPECT_EQ(toInt16("0"), 0);
}

TEST(NumberText, RoundsFractionsHalfToEven) {
    EXPECT_EQ(toInt16("2.5"), 2);
    EXPECT_EQ(toInt16("3.5"), 4);
    EXPECT_EQ(toInt16("1.51"), 2);
    EXPECT_EQ(toInt16("1.49"), 1);
    EXPECT_EQ(toInt16("0.5"), 0);
    EXPECT_EQ(toInt16("0.500001"), 1);
}

TEST(NumberText, RejectsWhatIsNotANumberOrDoesNotFit) {
    for (const char* bad : {"", " ", "abc", "12a", "1 2", "0%", "-", ".", "1e3"}) EXPECT_FALSE(toInt32(bad)) << bad;
    EXPECT_FALSE(toInt16("32768"));
    EXPECT_EQ(toInt16("-32768"), -32768);
    EXPECT_FALSE(toInt32("2147483648"));
    EXPECT_EQ(toInt32("2147483647"), 2147483647);
    EXPECT_FALSE(toInt32("99999999999999999999"));
}

}  // namespace
}  // namespace quenvor::ui
