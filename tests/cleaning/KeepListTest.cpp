#include "cleaning/common/KeepList.h"

#include <gtest/gtest.h>

namespace quenvor::cleaning::common {
namespace {

TEST(KeepList, StoredFormRoundTripsAndNormalises) {
    const auto list = KeepList::parse(" .Example.COM ;mail.test.;;example.com;[::1];a b");
    EXPECT_EQ(list.serialize(), "example.com;mail.test;::1");
    EXPECT_EQ(KeepList::parse(list.serialize()).hosts(), list.hosts());
    EXPECT_TRUE(KeepList::parse("").empty());
}

TEST(KeepList, AnEntryKeepsItsHostAndSubdomainsOnly) {
    const auto list = KeepList::parse("example.com;localhost;::1");
    struct Case {
        const char* host;
        bool kept;
    } cases[] = {
        {"example.com", true},
        {".example.com", true},
        {"www.Example.com", true},
        {"a.b.example.com.", true},
        {"badexample.com", false},
        {"example.com.evil.test", false},
        {"com", false},
        {"https://localhost:8080/x?q", true},
        {"http://user@www.example.com/", true},
        {"http://[::1]:80/", true},
        {"127.0.0.1", false},
        {"", false},
    };
    for (const auto& c : cases) EXPECT_EQ(list.keeps(c.host), c.kept) << c.host;
    EXPECT_EQ(*list.entryKeeping("www.example.com"), "example.com");
}

TEST(KeepList, AddAndReleaseChangeOnlyWhatIsNew) {
    KeepList list;
    EXPECT_TRUE(list.add("Example.com"));
    EXPECT_FALSE(list.add(".example.com"));
    EXPECT_FALSE(list.add(""));
    EXPECT_FALSE(list.release("other.test"));
    EXPECT_TRUE(list.release("EXAMPLE.COM"));
    EXPECT_TRUE(list.empty());
}

}  // namespace
}  // namespace quenvor::cleaning::common
