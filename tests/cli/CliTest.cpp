// The console program: its command line, the window's settings file read without Qt, and the
// clean command on real profiles in a made-up home, exit codes and reports included.
#include "cli/Cli.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <thread>

#include <cstdlib>

#include "cli/CommandLine.h"
#include "cli/ExitCode.h"
#include "platform/IniSettingsFile.h"
#include "support/ChromiumFixture.h"
#include "support/CliRig.h"
#include "support/FirefoxFixture.h"
#include "support/HeldLock.h"
#include "text/TextIds.h"

namespace quenvor::cli {
namespace {
namespace fs = std::filesystem;
using test::CliRig;

TEST(CliCommandLine, WhatCannotBeUnderstoodIsAUsageErrorAndHelpIsNot) {
    struct Case {
        std::vector<std::string> args;
        int code;
        const char* said;  // on stderr (usage errors) or stdout
    } cases[] = {
        {{}, ExitCode::Usage, "Usage: quenvor-cli COMMAND"},
        {{"frobnicate"}, ExitCode::Usage, "Unknown command: frobnicate"},
        {{"clean", "--only"}, ExitCode::Usage, "Option --only needs a value."},
        {{"clean", "--only", "cache,moon"}, ExitCode::Usage, "Unknown area: moon"},
        {{"clean", "--only="}, ExitCode::Usage, "Unknown area: "},
        {{"clean", "--level", "high"}, ExitCode::Usage, "Unknown option: --level"},
        {{"clean", "stray"}, ExitCode::Usage, "Unexpected argument: stray"},
        {{"shred"}, ExitCode::Usage, "Name at least one file or folder"},
        {{"shred", "--level", "extreme", "x"}, ExitCode::Usage, "Unknown level: extreme"},
        {{"shred", "--preview", "x"}, ExitCode::Usage, "Unknown option: --preview"},
        {{"--version"}, ExitCode::Done, "quenvor-cli 0."},
        {{"--help"}, ExitCode::Done, "3  nothing was done"},
        {{"clean", "--help"}, ExitCode::Done, "--only AREAS"},
        {{"shred", "--help"}, ExitCode::Done, "--force"},
        {{"shred", "--discard", "x"}, ExitCode::Usage, "Unknown option: --discard"},
        {{"wipe-free-space"}, ExitCode::Usage, "Name the folder on the drive"},
        {{"wipe-free-space", "a", "b"},
         ExitCode::Usage,
         "Name one folder only (the free space of the drive holding it is wiped): b"},
        {{"wipe-free-space", "--force", "a"}, ExitCode::Usage, "Unknown option: --force"},
        {{"wipe-free-space", "--level", "high", "a"}, ExitCode::Usage, "Unknown option: --level"},
        {{"wipe-free-space", "--help"}, ExitCode::Done, "--discard"},
        {{"--help"}, ExitCode::Done, "wipe-free-space"},
        // Refused before anything is written or asked; a backslash and an n in a path
        // ("C:\\Users\\nina") are no line break.
        {{"wipe-free-space", "--yes", "/nonexistent/a\\nina"},
         ExitCode::NothingDone,
         "Not a folder: /nonexistent/a\\nina"},
        {{"shred", "--yes", "/nonexistent/a\\nina"}, ExitCode::NothingDone, "found:\n/nonexistent/a\\nina\n"},
    };
    CliRig rig;
    for (const auto& c : cases) {
        const auto r = rig.run(c.args);
        const std::string& text = c.code == ExitCode::Usage ? r.err : r.out;
        EXPECT_EQ(r.code, c.code) << ::testing::PrintToString(c.args);
        EXPECT_NE(text.find(c.said), std::string::npos) << ::testing::PrintToString(c.args) << "\n" << text;
    }
    // The levels and areas as the window names its choices.
    const auto shred = CommandLine::parse({"shred", "--level=paranoid", "--yes", "--", "--odd-name"});
    EXPECT_EQ(shred.passes, 16);
    EXPECT_EQ(shred.paths, std::vector<std::string>{"--odd-name"});
    EXPECT_EQ(CommandLine::parse({"shred", "a"}).passes, 4);
    const auto clean = CommandLine::parse({"clean", "--only", "cookies,recent"});
    EXPECT_EQ(*clean.only, (std::array<bool, 6>{false, false, false, true, false, true}));
    const auto wipe = CommandLine::parse({"wipe-free-space", "-y", "--discard", "--json", "--", "--odd-name"});
    EXPECT_EQ(wipe.command, CommandLine::Command::WipeFreeSpace);
    EXPECT_TRUE(wipe.yes && wipe.discard && wipe.json);
    EXPECT_EQ(wipe.paths, std::vector<std::string>{"--odd-name"});
    const auto asks = CommandLine::parse({"wipe-free-space", "/mnt/usb"});
    EXPECT_TRUE(asks.ok() && !asks.yes && !asks.discard && !asks.json);
}

// What QSettings writes (its INI escaping), and what its toString() gives for it.
TEST(CliSettingsFile, ValuesReadAsTheWindowWroteThem) {
    struct Case {
        const char* raw;
        const char* value;  // nullptr: no text, the fallback
    } cases[] = {
        {"1034", "1034"},
        {"\"a.example;b.example\"", "a.example;b.example"},
        {"\"say \\\"hi\\\", \\\\ there\"", "say \"hi\", \\ there"},
        {"@@home", "@home"},
        {"caf\\xe9", "caf\xc3\xa9"},
        {"caf\xc3\xa9", "caf\xc3\xa9"},
        {"C:\\\\", "C:\\"},
        {"\"one \\\ntwo\"", "one two"},
        {"a, b", nullptr},
        {"@Variant(\\0\\0\\0\\x7f)", nullptr},
    };
    test::TempDir dir;
    for (const auto& c : cases) {
        test::TempDir::write(dir / "QUENVOR.conf", std::string("[General]\nKEEP=wrong\n\n[SETTINGS]\nKEEP=") + c.raw +
                                                       "\nS1=0\n[%General]\nS1=wrong\n");
        platform::IniSettingsFile file(dir / "QUENVOR.conf");
        EXPECT_EQ(file.read("QUENVOR", "SETTINGS", "KEEP", "fallback"), c.value ? c.value : "fallback") << c.raw;
        EXPECT_EQ(file.read("QUENVOR", "SETTINGS", "S1", "1"), "0");
        EXPECT_EQ(file.read("QUENVOR", "SETTINGS", "S2", "1"), "1");
    }
    EXPECT_FALSE(platform::IniSettingsFile(dir / "QUENVOR.conf").write("QUENVOR", "SETTINGS", "S1", "1"));
}

class CliClean : public ::testing::Test, protected CliRig {
protected:
    fs::path firefox = home / ".mozilla/firefox/Profiles/a", chromium = home / ".config/chromium/Default";
    void SetUp() override {
        test::TempDir::write(home / ".mozilla/firefox/profiles.ini", "[Profile0]\nPath=Profiles/a\n");
        test::FirefoxFixture::makeProfile(firefox);
        test::TempDir::write(firefox / ".parentlock", "");
    }
    std::string cookiesLeft() {
        return test::FirefoxFixture::queryOne(firefox / "cookies.sqlite", "SELECT count(*) FROM moz_cookies");
    }
};

TEST_F(CliClean, PreviewChangesNothingAndTheRunTakesWhatItShowed) {
    test::ChromiumFixture::makeProfile(chromium);
    // The window's saved options: only cookies; in Spanish.
    settings("[SETTINGS]\nLANGUAGE=1034\nS1=0\nS2=0\nS3=0\nS4=1\nS5=0\nS6=0\n");
    const std::string before = test::TempDir::read(firefox / "cookies.sqlite");

    const auto preview = run({"clean", "--preview", "--json"});
    EXPECT_EQ(preview.code, ExitCode::Done) << preview.out;
    const auto plan = preview.json();
    ASSERT_TRUE(plan) << preview.out;
    EXPECT_EQ(plan->member("areas")->items().size(), 1u);
    EXPECT_EQ(plan->member("areas")->items()[0].text(), "cookies");
    EXPECT_EQ(plan->member("language")->text(), "es");
    std::set<std::string> browsers;
    for (const auto& step : plan->member("plan")->items()) browsers.insert(step.member("browser")->text());
    EXPECT_TRUE(browsers.contains("Firefox") && browsers.size() >= 2) << preview.out;
    EXPECT_EQ(test::TempDir::read(firefox / "cookies.sqlite"), before);
    const auto text = run({"clean", "--preview"});
    EXPECT_NE(text.out.find("Solo vista previa: no se cambió nada."), std::string::npos) << text.out;

    const auto done = run({"clean", "--json"});
    EXPECT_EQ(done.code, ExitCode::Done) << done.out;
    const auto report = done.json();
    ASSERT_TRUE(report) << done.out;
    EXPECT_EQ(test::itemsWhere(*report, "state", "removed").size(), plan->member("plan")->items().size());
    EXPECT_NE(report->member("totals")->member("items")->text(), "0");
    EXPECT_EQ(cookiesLeft(), "0");
}

TEST_F(CliClean, ARunningBrowsersStoreIsLeftAndNamedAndAKeptSiteKeepsItsCookies) {
    struct Case {
        bool chromiumToo;
        bool keep;
        int code;
    } cases[] = {{false, false, ExitCode::NothingDone}, {true, false, ExitCode::Partly}, {false, true, ExitCode::Done}};
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << c.chromiumToo << c.keep);
        if (c.chromiumToo) test::ChromiumFixture::makeProfile(chromium);
        settings(c.keep ? "[SETTINGS]\nKEEP=\"secret-clinic.example;other.example\"\n" : "");
        std::optional<test::HeldLock> running;
        if (!c.keep) running.emplace(firefox / ".parentlock");
        const auto r = run({"clean", "--only", "cookies", "--json"});
        EXPECT_EQ(r.code, c.code) << r.out;
        const auto report = r.json();
        ASSERT_TRUE(report) << r.out;
        if (c.keep) {
            const auto kept = test::itemsWhere(*report, "state", "kept");
            ASSERT_FALSE(kept.empty()) << r.out;
            EXPECT_EQ(kept[0]->member("what")->text(), "secret-clinic.example");
            EXPECT_NE(cookiesLeft(), "0");
            continue;
        }
        const auto left = test::itemsWhere(*report, "browser_running", "true");
        ASSERT_EQ(left.size(), 1u) << r.out;
        EXPECT_NE(left[0]->member("reason")->text().find("Firefox is running"), std::string::npos) << r.out;
        EXPECT_NE(cookiesLeft(), "0");
        // The text names it too.
        EXPECT_NE(run({"clean", "--only", "cookies"}).out.find("Firefox is running"), std::string::npos);
        if (c.chromiumToo) fs::remove_all(chromium);
    }
}

// The program itself, as a script runs it: no terminal, no --yes, nothing shredded.
TEST(CliProgram, WithoutYesAndNoAnswerNothingIsShreddedAndTheExitCodeSaysSo) {
    test::TempDir dir;
    test::TempDir::write(dir / "home/secret.txt", "secret");
    auto status = [&](const std::string& args) {
        const std::string cmd = "HOME=" + (dir / "home").string() + " " + QUENVOR_CLI + " " + args + " </dev/null >" +
                                (dir / "out").string() + " 2>&1";
        const int s = std::system(cmd.c_str());
        return WIFEXITED(s) ? WEXITSTATUS(s) : -1;
    };
    EXPECT_EQ(status("shred " + (dir / "home/secret.txt").string()), ExitCode::NothingDone);
    EXPECT_TRUE(fs::exists(dir / "home/secret.txt"));
    EXPECT_NE(test::TempDir::read(dir / "out").find("not confirmed"), std::string::npos);
    // The home folder needs --force even with --yes.
    EXPECT_EQ(status("shred --yes " + (dir / "home").string()), ExitCode::NothingDone);
    EXPECT_TRUE(fs::exists(dir / "home/secret.txt"));
    EXPECT_NE(test::TempDir::read(dir / "out").find("--force"), std::string::npos);
    EXPECT_EQ(status("shred --yes --json " + (dir / "home/secret.txt").string()), ExitCode::Done);
    EXPECT_FALSE(fs::exists(dir / "home/secret.txt"));
    EXPECT_EQ(status("--bogus"), ExitCode::Usage);
}

// Ctrl+C during a folder: the file being shredded is finished, the rest stays, and the report
// says the run was stopped and names what is still there.
TEST(CliProgram, CtrlCStopsAfterTheCurrentFileAndTheReportSaysWhatWasDone) {
    test::TempDir dir;
    const fs::path folder = dir / "home/papers";
    constexpr int kFiles = 30;
    for (int i = 0; i < kFiles; ++i)
        test::TempDir::write(folder / ("f" + std::to_string(i)), std::string(std::size_t{2} << 20, 'x'));
    const pid_t child = ::fork();
    if (child == 0) {
        ::setenv("HOME", (dir / "home").c_str(), 1);
        const int out = ::open((dir / "out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, 1);
        ::execl(QUENVOR_CLI, "quenvor-cli", "shred", "--yes", "--json", "--level", "paranoid", folder.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ASSERT_GT(child, 0);
    auto filesLeft = [&] {
        std::error_code ec;
        return std::distance(fs::directory_iterator(folder, ec), fs::directory_iterator());
    };
    for (int waited = 0; filesLeft() == kFiles && waited < 2000; ++waited)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ::kill(child, SIGINT);
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), ExitCode::Partly);
    EXPECT_TRUE(fs::exists(folder));
    const auto left = filesLeft();
    EXPECT_GT(left, 0);
    EXPECT_LT(left, kFiles);
    const auto report = cleaning::formats::JsonValue::parse(test::TempDir::read(dir / "out"));
    ASSERT_TRUE(report) << test::TempDir::read(dir / "out");
    EXPECT_EQ(report->member("stopped")->text(), "true");
    const auto named = test::itemsWhere(*report, "path", folder.string());
    ASSERT_EQ(named.size(), 1u);
    EXPECT_EQ(named[0]->member("state")->text(), "left");
}

}  // namespace
}  // namespace quenvor::cli
