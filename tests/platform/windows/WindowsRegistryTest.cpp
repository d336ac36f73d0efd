// The registry backend and the settings store against the system's own registry. Each test
// works below a key of its own, removed afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/cRegistry.h"
#include "platform/windows/WindowsRegistry.h"
#include "platform/windows/WindowsSettingsStore.h"

namespace quenvor::platform::windows {
namespace {

std::vector<std::uint8_t> bytes(const std::string& s, bool terminated = true) {
    std::vector<std::uint8_t> v(s.begin(), s.end());
    if (terminated) v.push_back(0);
    return v;
}

std::string unique(const std::string& stem) {
    std::random_device rd;
    return stem + "-" + std::to_string(rd());
}

class RealRegistry : public ::testing::Test {
protected:
    WindowsRegistry reg;
    const std::string path = "Software\\" + unique("QuenvorTest");
    RegKey key = 0;

    void SetUp() override { ASSERT_EQ(reg.createKey(kCurrentUser, path, key), kErrorSuccess); }
    void TearDown() override {
        (void)reg.closeKey(key);
        RegDeleteTreeW(HKEY_CURRENT_USER, std::wstring(path.begin(), path.end()).c_str());
    }
    // What the system itself holds, read past our conversions.
    std::wstring rawText(const std::string& name) {
        wchar_t buffer[256] = {};
        DWORD size = sizeof buffer;
        const std::wstring sub(path.begin(), path.end()), value(name.begin(), name.end());
        if (RegGetValueW(HKEY_CURRENT_USER, sub.c_str(), value.c_str(), RRF_RT_ANY | RRF_NOEXPAND, nullptr, buffer,
                         &size) != ERROR_SUCCESS)
            return L"<absent>";
        return std::wstring(buffer, size / sizeof(wchar_t));
    }
};

TEST_F(RealRegistry, EveryValueTypeSurvivesTheRoundTripAndTextIsStoredAsUtf16) {
    const std::string names = "Grüße, Привет, 日本語, Ελληνικά";
    struct Case {
        const char* name;
        std::uint32_t type;
        std::vector<std::uint8_t> data;
    };
    const std::vector<Case> cases = {
        {"sz", kRegSz, bytes(names)},
        {"expand", kRegExpandSz, bytes("%TEMP%\\ü")},
        {"multi", kRegMultiSz, {'a', 0, 0xC3, 0xA9, 0, 0}},
        {"binary", kRegBinary, {0, 1, 0xFF, 0x80}},
        {"dword", kRegDword, {0x01, 0x02, 0, 0}},
        {"bigendian", kRegDwordBigEndian, {0, 0, 0x02, 0x01}},
        {"none", kRegNone, {}},
    };
    for (const auto& c : cases) ASSERT_EQ(reg.setValue(key, c.name, c.type, c.data), kErrorSuccess) << c.name;
    for (const auto& c : cases) {
        std::uint32_t type = 99, size = 4096;
        std::vector<std::uint8_t> data;
        ASSERT_EQ(reg.queryValue(key, c.name, type, data, size), kErrorSuccess) << c.name;
        EXPECT_EQ(type, c.type) << c.name;
        EXPECT_EQ(data, c.data) << c.name;
        EXPECT_EQ(size, c.data.size()) << c.name;
    }
    EXPECT_EQ(rawText("sz"), L"Grüße, Привет, 日本語, Ελληνικά" + std::wstring(1, L'\0'));

    // Too little room: the size the caller needs, counted in our bytes, and the data untouched.
    std::uint32_t type = 0, size = 3;
    std::vector<std::uint8_t> data{7};
    EXPECT_EQ(reg.queryValue(key, "sz", type, data, size), kErrorMoreData);
    EXPECT_EQ(size, names.size() + 1);
    EXPECT_EQ(data, std::vector<std::uint8_t>{7});
    EXPECT_EQ(reg.queryValue(key, "missing", type, data, size), kErrorFileNotFound);

    std::vector<std::string> seen;
    std::string name;
    std::uint32_t t = 0;
    for (std::uint32_t i = 0; reg.enumValue(key, i, name, t) == kErrorSuccess; ++i) seen.push_back(name);
    EXPECT_EQ(seen.size(), cases.size());
    EXPECT_EQ(reg.enumValue(key, static_cast<std::uint32_t>(cases.size()), name, t), kErrorNoMoreItems);
}

TEST_F(RealRegistry, KeysOpenEnumerateAndDeleteWithTheSystemsCodes) {
    RegKey child = 0;
    bool existed = true;
    ASSERT_EQ(reg.createKey(key, "Ünïcode child", child, &existed), kErrorSuccess);
    EXPECT_FALSE(existed);
    EXPECT_EQ(reg.closeKey(child), kErrorSuccess);
    ASSERT_EQ(reg.createKey(key, "Ünïcode child", child, &existed), kErrorSuccess);
    EXPECT_TRUE(existed);
    EXPECT_EQ(reg.closeKey(child), kErrorSuccess);

    std::string name;
    EXPECT_EQ(reg.enumKey(key, 0, name), kErrorSuccess);
    EXPECT_EQ(name, "Ünïcode child");
    EXPECT_EQ(reg.enumKey(key, 1, name), kErrorNoMoreItems);

    RegKey missing = 0;
    EXPECT_EQ(reg.openKey(key, "not there", missing), kErrorFileNotFound);
    EXPECT_EQ(reg.deleteKey(key, "Ünïcode child"), kErrorSuccess);
    EXPECT_EQ(reg.deleteValue(key, "never written"), kErrorFileNotFound);

    // The tree deletion takes what the plain one leaves, and never the contents of the parent.
    ASSERT_EQ(reg.createKey(key, "tree\\deeper", child), kErrorSuccess);
    ASSERT_EQ(reg.setValue(child, "v", kRegSz, bytes("x")), kErrorSuccess);
    EXPECT_EQ(reg.closeKey(child), kErrorSuccess);
    EXPECT_NE(reg.deleteKey(key, "tree"), kErrorSuccess);
    EXPECT_EQ(reg.deleteTree(key, "tree"), kErrorSuccess);
    EXPECT_EQ(reg.openKey(key, "tree", missing), kErrorFileNotFound);
    EXPECT_EQ(reg.deleteTree(key, "tree"), kErrorFileNotFound);
    EXPECT_EQ(reg.deleteTree(kCurrentUser, ""), kErrorAccessDenied);
    EXPECT_EQ(reg.openKey(kCurrentUser, path, missing), kErrorSuccess);
    EXPECT_EQ(reg.closeKey(missing), kErrorSuccess);

    // The class the cleaning reads through works on the real hive unchanged.
    ASSERT_EQ(reg.setValue(key, "Path", kRegSz, bytes("C:\\Données")), kErrorSuccess);
    cRegistry r(reg);
    r.setClassKey(static_cast<std::int32_t>(kCurrentUser));
    r.setSectionKey(path);
    r.setValueKey("Path");
    EXPECT_EQ(r.Value(), RegVariant(std::string("C:\\Données")));
}

TEST(RealSettingsStore, ValuesLiveAsTextInTheTraditionalKey) {
    WindowsSettingsStore store;
    const std::string app = unique("QUENVOR-TEST");
    const std::wstring key = L"Software\\VB and VBA Program Settings\\" + std::wstring(app.begin(), app.end());
    EXPECT_EQ(store.read(app, "SETTINGS", "LANGUAGE", "1053"), "1053");  // nothing stored yet
    ASSERT_TRUE(store.write(app, "SETTINGS", "LANGUAGE", "1034").ok());
    ASSERT_TRUE(store.write(app, "SETTINGS", "S5", "1").ok());
    ASSERT_TRUE(store.write(app, "SETTINGS", "S5", "0").ok());
    EXPECT_EQ(store.read(app, "SETTINGS", "LANGUAGE", "1053"), "1034");
    EXPECT_EQ(store.read(app, "SETTINGS", "S5", "1"), "0");

    wchar_t text[32] = {};
    DWORD size = sizeof text, type = 0;
    ASSERT_EQ(
        RegGetValueW(HKEY_CURRENT_USER, (key + L"\\SETTINGS").c_str(), L"LANGUAGE", RRF_RT_ANY, &type, text, &size),
        ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(std::wstring(text), L"1034");

    // Text in any script comes back as it went in; a value that is not text reads as absent.
    ASSERT_TRUE(store.write(app, "SETTINGS", "Name", "Ñandú Привет 日本").ok());
    EXPECT_EQ(store.read(app, "SETTINGS", "Name", ""), "Ñandú Привет 日本");
    const DWORD number = 5;
    RegSetKeyValueW(HKEY_CURRENT_USER, (key + L"\\SETTINGS").c_str(), L"S1", REG_DWORD, &number, sizeof number);
    EXPECT_EQ(store.read(app, "SETTINGS", "S1", "1"), "1");
    RegDeleteTreeW(HKEY_CURRENT_USER, key.c_str());
}

}  // namespace
}  // namespace quenvor::platform::windows
