// Chromium's local and session storage pruned site by site, on stores written through LevelDB
// itself in the browser's key layout (tests/cleaning/chromium/RealChromiumTest.cpp does it on a
// store the browser wrote).
#include "cleaning/formats/LevelDbSites.h"

#include <gtest/gtest.h>
#include <leveldb/db.h>

#include <functional>
#include <memory>
#include <vector>

#include "support/LevelDbFixture.h"
#include "support/TempDir.h"
#ifndef _WIN32
#include "support/HeldLock.h"
#endif

namespace quenvor::cleaning::formats {
namespace {

using test::LevelDbFixture;
using test::TempDir;
using Kind = LevelDbSites::Kind;
using Role = LevelDbSites::Parsed::Role;
namespace fs = std::filesystem;
using namespace std::string_literals;

// Everything but the sites below kept.example goes.
bool goes(std::string_view origin) { return origin.find("kept.example") == std::string_view::npos; }

TEST(LevelDbSites, KeysAreAttributedToTheirSiteOrLeftAlone) {
    const std::string tab = LevelDbFixture::kTab;
    struct Case {
        Kind kind;
        std::string key, value;
        Role role;
        std::string origin, map;
    };
    const Case cases[] = {
        {Kind::LocalStorage, "VERSION", "1", Role::Store, "", ""},
        {Kind::LocalStorage, "META:http://127.0.0.1:8765", "", Role::Meta, "http://127.0.0.1:8765", ""},
        {Kind::LocalStorage, "METAACCESS:https://a.example", "", Role::Meta, "https://a.example", ""},
        {Kind::LocalStorage, "_https://a.example\0\x01k"s, "", Role::Value, "https://a.example", ""},
        // Stored under another site it was framed by: the framed site's own.
        {Kind::LocalStorage, "_http://localhost:8765/^0http://127.0.0.1\0\x01k"s, "", Role::Value,
         "http://localhost:8765", ""},
        {Kind::LocalStorage, "META:http://localhost:8765/^0http://127.0.0.1", "", Role::Meta, "http://localhost:8765",
         ""},
        {Kind::LocalStorage, "_chrome-extension://abcdefgh\0\x01k"s, "", Role::Value, "chrome-extension://abcdefgh",
         ""},
        {Kind::LocalStorage, "_no-separator", "", Role::Unknown, "", ""},
        {Kind::LocalStorage, "version", "", Role::Unknown, "", ""},
        {Kind::SessionStorage, "version", "1", Role::Store, "", ""},
        {Kind::SessionStorage, "next-map-id", "4", Role::Store, "", ""},
        {Kind::SessionStorage, "namespace-" + tab + "-http://127.0.0.1:8765/", "3", Role::Tab, "http://127.0.0.1:8765",
         "3"},
        {Kind::SessionStorage, "namespace-" + tab + "-http://localhost:8765/^0http://127.0.0.1", "12", Role::Tab,
         "http://localhost:8765", "12"},
        {Kind::SessionStorage, "namespace-" + tab + "-https://a.example/", "not a map", Role::Tab, "https://a.example",
         ""},
        {Kind::SessionStorage, "namespace-short-https://a.example/", "3", Role::Unknown, "", ""},
        {Kind::SessionStorage, "map-12-skey", "v", Role::Value, "", "12"},
        {Kind::SessionStorage, "map-12-", "", Role::Value, "", "12"},
        {Kind::SessionStorage, "map-x-skey", "", Role::Unknown, "", ""},
        {Kind::SessionStorage, "META:https://a.example", "", Role::Unknown, "", ""},
    };
    for (const auto& c : cases) {
        const auto p = LevelDbSites::parse(c.kind, c.key, c.value);
        EXPECT_EQ(p.role, c.role) << c.key;
        EXPECT_EQ(p.origin, c.origin) << c.key;
        EXPECT_EQ(p.map, c.map) << c.key;
    }
    for (const char* site : {"http://a.example", "https://a.example:8443"}) EXPECT_TRUE(LevelDbSites::isSite(site));
    for (const char* other : {"chrome-extension://abc", "chrome://settings", "file://", "http://", ""})
        EXPECT_FALSE(LevelDbSites::isSite(other)) << other;
}

class LevelDbStore : public ::testing::Test {
protected:
    TempDir dir;
    fs::path local = dir / "Local Storage/leveldb";
    fs::path session = dir / "Session Storage";
};

// Old values of a site overwritten before, tables and a log: after the removal no byte of the
// folder holds a removed value, and what stays reads as it did.
TEST_F(LevelDbStore, LocalStorageLosesTheSitesThatGoAndNothingElse) {
    const auto value = LevelDbFixture::localValue;
    // The first values end up in a table, the later ones in the log.
    LevelDbFixture::write(local, {{"VERSION", "1"},
                                  {"META:https://gone.example", "\x08\x01"},
                                  {value("https://gone.example", "k"), "\x01old-gone-secret"},
                                  {value("https://kept.example", "k"), "\x01kept-value"}});
    {
        leveldb::DB* raw = nullptr;
        ASSERT_TRUE(leveldb::DB::Open(leveldb::Options(), local.string(), &raw).ok());
        std::unique_ptr<leveldb::DB>(raw)->CompactRange(nullptr, nullptr);
    }
    LevelDbFixture::write(local, {{value("https://gone.example", "k"), "\x01new-gone-secret"},
                                  {"METAACCESS:https://gone.example", "\x08\x02"},
                                  {value("http://127.0.0.1:8765/^0https://kept.example", "k"),
                                   "\x01"
                                   "framed-secret"},
                                  {value("https://sub.kept.example", "k"), "\x01sub-kept-value"},
                                  // The last key of all, which LevelDB's own list of files notes.
                                  {value("https://zz.gone.example", "k"), "\x01last-gone-secret"},
                                  {value("chrome-extension://abcdefgh", "k"),
                                   "\x01"
                                   "extension-value"},
                                  {"unknown-key", "unknown-value"}});
    const auto before = LevelDbFixture::read(local);

    auto found = LevelDbSites::find(local, Kind::LocalStorage, goes);
    ASSERT_TRUE(found) << found.error().message;
    EXPECT_EQ(LevelDbFixture::read(local), before) << "finding changes nothing";
    EXPECT_EQ(found->items, 3u);
    EXPECT_EQ(found->keys.size(), 5u);
    EXPECT_EQ(found->origins,
              (std::set<std::string>{"https://gone.example", "http://127.0.0.1:8765", "https://zz.gone.example"}));
    EXPECT_EQ(found->keptOrigins, (std::set<std::string>{"https://kept.example", "https://sub.kept.example"}));
    EXPECT_GT(found->bytes, std::string("new-gone-secret").size());

    ASSERT_TRUE(LevelDbSites::remove(*found));
    const auto after = LevelDbFixture::read(local);
    auto expected = before;
    for (const auto& k : found->keys) expected.erase(k);
    EXPECT_EQ(after, expected);
    const auto bytes = LevelDbFixture::bytes(local);
    for (const char* secret :
         {"old-gone-secret", "new-gone-secret", "framed-secret", "last-gone-secret", "gone.example"})
        EXPECT_EQ(bytes.find(secret), std::string::npos) << secret;

    // Found again, nothing is left to go; removing what was found once more changes nothing.
    found = LevelDbSites::find(local, Kind::LocalStorage, goes);
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->empty());
}

// A map goes only with the last tab entry pointing to it; a map nobody points to, an extension's
// tab and the store's own entries stay.
TEST_F(LevelDbStore, SessionStorageMapsGoWithTheirLastTab) {
    const auto tab = [](const std::string& id, const std::string& origin) {
        return LevelDbFixture::tabEntry(id, origin);
    };
    const std::string a = LevelDbFixture::kTab, b = "ffffffff_4e5f_4a6b_8c7d_9e0f1a2b3c4d";
    LevelDbFixture::write(session, {{"version", "1"},
                                    {"next-map-id", "6"},
                                    {tab(a, "https://gone.example"), "1"},
                                    {tab(b, "https://gone.example"), "1"},  // a tab cloned from a
                                    {"map-1-k", LevelDbFixture::utf16("gone-secret")},
                                    {tab(a, "https://kept.example"), "2"},
                                    {"map-2-k", "kept-value"},
                                    {tab(a, "https://odd.example"), "3"},  // shares a kept tab's map
                                    {tab(b, "https://kept.example"), "3"},
                                    {"map-3-k", "shared-value"},
                                    {tab(a, "chrome-extension://abcdefgh"), "4"},
                                    {"map-4-k", "extension-value"},
                                    {"map-5-k", "orphan-value"},
                                    {tab(b, "https://broken.example"), "x"}});
    auto found = LevelDbSites::find(session, Kind::SessionStorage, goes);
    ASSERT_TRUE(found) << found.error().message;
    EXPECT_EQ(found->items, 1u);
    EXPECT_EQ(found->origins,
              (std::set<std::string>{"https://gone.example", "https://odd.example", "https://broken.example"}));
    ASSERT_TRUE(LevelDbSites::remove(*found));
    const auto left = LevelDbFixture::read(session);
    for (const auto& gone : {tab(a, "https://gone.example"), tab(b, "https://gone.example"), "map-1-k"s,
                             tab(a, "https://odd.example"), tab(b, "https://broken.example")})
        EXPECT_FALSE(left.contains(gone)) << gone;
    for (const auto& kept : {"version"s, "next-map-id"s, tab(a, "https://kept.example"), "map-2-k"s, "map-3-k"s,
                             tab(a, "chrome-extension://abcdefgh"), "map-4-k"s, "map-5-k"s})
        EXPECT_TRUE(left.contains(kept)) << kept;
    EXPECT_EQ(LevelDbFixture::bytes(session).find(LevelDbFixture::utf16("gone-secret")), std::string::npos);
}

// A store in use, a damaged one and links are named and left exactly as they were; a store that
// is not there is nothing to do.
TEST_F(LevelDbStore, WhatCannotBeOpenedSafelyIsReportedAndLeftAlone) {
    const auto entries = LevelDbFixture::Entries{{LevelDbFixture::localValue("https://gone.example", "k"), "\x01v"}};
    const auto damage = [&] { TempDir::write(local / "CURRENT", "MANIFEST-000099\n"); };
#ifndef _WIN32
    const auto linkFolder = [&] {
        fs::rename(local, dir / "elsewhere");
        fs::create_directory_symlink(dir / "elsewhere", local);
    };
    const auto linkInside = [&] {
        TempDir::write(dir / "outside.txt", "not the browser's");
        fs::create_symlink(dir / "outside.txt", local / "000099.ldb");
    };
#endif
    struct Case {
        const char* name;
        std::function<void()> make;
        const char* says;
    };
    std::vector<Case> cases = {{"damaged", damage, "damaged"}};
#ifndef _WIN32  // making a link there takes a privilege the tests do not have
    cases.push_back({"folder is a link", linkFolder, "a link"});
    cases.push_back({"a link inside", linkInside, "000099.ldb: a link"});
#endif
    for (const auto& c : cases) {
        fs::remove_all(dir / "elsewhere");
        fs::remove_all(local);
        LevelDbFixture::write(local, entries);
        c.make();
        const auto bytes = LevelDbFixture::bytes(local);
        auto found = LevelDbSites::find(local, Kind::LocalStorage, goes);
        ASSERT_FALSE(found) << c.name;
        EXPECT_NE(found.error().message.find(c.says), std::string::npos) << c.name << ": " << found.error().message;
        EXPECT_EQ(LevelDbFixture::bytes(local), bytes) << c.name;
        if (fs::is_symlink(local)) fs::remove(local);
    }

    // Open elsewhere: in this process, or (on POSIX) held by another one as the browser holds it.
    fs::remove_all(local);
    LevelDbFixture::write(local, entries);
    auto found = LevelDbSites::find(local, Kind::LocalStorage, goes);
    ASSERT_TRUE(found);
    {
        leveldb::DB* raw = nullptr;
        ASSERT_TRUE(leveldb::DB::Open(leveldb::Options(), local.string(), &raw).ok());
        std::unique_ptr<leveldb::DB> open(raw);
        const auto again = LevelDbSites::find(local, Kind::LocalStorage, goes);
        ASSERT_FALSE(again);
        EXPECT_NE(again.error().message.find("in use"), std::string::npos) << again.error().message;
        const auto s = LevelDbSites::remove(*found);
        ASSERT_FALSE(s);
        EXPECT_NE(s.error().message.find("in use"), std::string::npos) << s.error().message;
    }
#ifndef _WIN32
    {
        test::HeldLock held(local / "LOCK");
        ASSERT_TRUE(held.held());
        const auto s = LevelDbSites::remove(*found);
        ASSERT_FALSE(s);
        EXPECT_NE(s.error().message.find("in use"), std::string::npos) << s.error().message;
    }
#endif
    EXPECT_EQ(LevelDbFixture::read(local).size(), 1u);

#ifdef _WIN32
    // LevelDB opens names of the ANSI code page only: a profile named outside it is said so.
    const auto foreign = dir.path() / fs::path(L"\u041f\u0440\u043e\u0444\u0438\u043b\u044c") / "leveldb";
    TempDir::write(foreign / "CURRENT", "MANIFEST-000001\n");
    const auto refused = LevelDbSites::find(foreign, Kind::LocalStorage, goes);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().message.find("cannot open"), std::string::npos) << refused.error().message;
#endif
    found = LevelDbSites::find(dir / "no such store", Kind::SessionStorage, goes);
    ASSERT_TRUE(found);
    EXPECT_TRUE(found->empty());
    EXPECT_TRUE(LevelDbSites::remove(*found));
    EXPECT_FALSE(fs::exists(dir / "no such store"));
}

}  // namespace
}  // namespace quenvor::cleaning::formats
