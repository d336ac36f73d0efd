// The settings file as the Qt window itself writes it, read back by the console program's
// Qt-free reader: every value the window may store comes back as it went in.
#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/IniSettingsFile.h"
#include "support/TempDir.h"
#include "window/qt/QtSettingsStore.h"

namespace quenvor::cli {
namespace {

TEST(CliQtSettings, WhatTheWindowWritesTheConsoleReads) {
    test::TempDir dir;
    // QSettings finds its file below XDG_CONFIG_HOME, read once per process: set before any use.
    ::setenv("XDG_CONFIG_HOME", dir.path().c_str(), 1);
    const std::vector<std::pair<std::string, std::string>> values = {
        {"KEEP", "secret-clinic.example;.bank.example"},
        {"LANGUAGE", "1034"},
        {"S1", "0"},
        {"S5", "2"},
        {"Odd", "say \"hi\", \\ there; = @at #not a comment"},
        {"Accents", "caf\xc3\xa9 ni\xc3\xb1o \xe2\x82\xac"},
        {"At", "@starts with at"},
        {"Padded", "  padded  "},
        {"Comma", "a,b"},
        {"Empty", ""},
        {"Breaks", "one\ntwo\tthree\\"},
    };
    window::QtSettingsStore store;
    for (const auto& [key, value] : values) ASSERT_TRUE(store.write("QUENVOR", "SETTINGS", key, value)) << key;
    platform::IniSettingsFile file(dir / "QUENVOR/QUENVOR.conf");
    for (const auto& [key, value] : values)
        EXPECT_EQ(file.read("QUENVOR", "SETTINGS", key, "<none>"), value)
            << key << " in:\n"
            << test::TempDir::read(dir / "QUENVOR/QUENVOR.conf");
    EXPECT_EQ(file.read("QUENVOR", "SETTINGS", "S2", "1"), "1");
}

}  // namespace
}  // namespace quenvor::cli
