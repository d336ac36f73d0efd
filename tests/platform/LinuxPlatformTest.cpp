#include <gtest/gtest.h>

#include <array>
#include <map>

#include "platform/TextEncoding.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxRandomSource.h"

namespace quenvor::platform {
namespace {

LinuxKnownFolders foldersWith(std::map<std::string, std::string> env) {
    auto holder = std::make_shared<std::map<std::string, std::string>>(std::move(env));
    return LinuxKnownFolders(
        [holder](const char* n) -> const char* {
            auto it = holder->find(n);
            return it == holder->end() ? nullptr : it->second.c_str();
        },
        "/opt/quenvor/bin/quenvor");
}

TEST(LinuxKnownFolders, FollowTheXdgVariablesAndTheirDefaults) {
    auto defaults = foldersWith({{"HOME", "/home/ana"}});
    EXPECT_EQ(defaults.configHome(), "/home/ana/.config");
    EXPECT_EQ(defaults.cacheHome(), "/home/ana/.cache");
    EXPECT_EQ(defaults.dataHome(), "/home/ana/.local/share");
    EXPECT_EQ(defaults.stateHome(), "/home/ana/.local/state");
    EXPECT_EQ(defaults.temporaryFolder(), "/tmp");
    EXPECT_EQ(defaults.programFolder(), "/opt/quenvor/bin");

    auto set = foldersWith({{"HOME", "/home/ana"},
                            {"XDG_CONFIG_HOME", "/cfg"},
                            {"XDG_DATA_HOME", "relative/ignored"},
                            {"TMPDIR", "/var/tmp/ana"}});
    EXPECT_EQ(set.configHome(), "/cfg");
    EXPECT_EQ(set.dataHome(), "/home/ana/.local/share");
    EXPECT_EQ(set.temporaryFolder(), "/var/tmp/ana");
}

TEST(LinuxKnownFolders, TheRealProgramFolderHoldsThisTest) {
    LinuxKnownFolders real;
    EXPECT_TRUE(std::filesystem::is_directory(real.programFolder()));
}

TEST(LinuxRandomSource, FillsLargeBuffersWithFreshBytes) {
    LinuxRandomSource random;
    std::vector<std::byte> a(1 << 20), b(1 << 20);
    ASSERT_TRUE(random.fill(a).ok());
    ASSERT_TRUE(random.fill(b).ok());
    EXPECT_NE(a, b);
    std::array<int, 256> counts{};
    for (auto x : a) ++counts[std::to_integer<unsigned>(x)];
    for (int c : counts) EXPECT_GT(c, 3000);  // 4096 expected per value
}

TEST(TextEncoding, RoundTripsEveryPlaneAndRepairsBrokenInput) {
    const std::string text = "Añadir ✓ 😀 Überall";
    EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(text)), text);
    EXPECT_EQ(utf8ToUtf16("😀").size(), 2u);
    EXPECT_EQ(utf16ToUtf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");
    EXPECT_EQ(utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");  // an encoded surrogate
}

}  // namespace
}  // namespace quenvor::platform
