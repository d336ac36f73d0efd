#include "shredder/ShredderPage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>

#include "platform/PendingDeletionList.h"
#include "platform/linux/LinuxFileService.h"
#include "shredder/InterruptedRunOffer.h"
#include "support/FakeStorageProbe.h"
#include "support/Fakes.h"
#include "support/FaultyFileService.h"
#include "support/ShredderRig.h"
#include "support/TempDir.h"
#include "ui/Guarded.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;
using ui::MsgAnswer;
namespace fs = std::filesystem;

// The files, folders and storage the page works on; a base of its own, to be made before the rig.
struct PageServices {
    TempDir dir, outside;
    platform::PendingDeletionList pending{dir / "state/pending"};
    platform::LinuxFileService real{&pending};
    test::FaultyFileService files{real};
    test::FixedFolders folders;
    test::FakeStorageProbe probe;  // answers "overwritten in place" unless a test says otherwise
};

class Page : public ::testing::Test, protected PageServices, protected test::ShredderRig {
protected:
    Page() : ShredderRig(files, &folders, &probe) {}
};

TEST_F(Page, FileModeYesShredsAndSaysSo) {
    const auto f = dir / "diary.txt";
    TempDir::write(f, std::string(5000, 'D'));
    chooseFile(f);
    EXPECT_EQ(ui.fileRequests.back().title, "Select file to delete");
    ASSERT_EQ(ui.fileRequests.back().filters.size(), 1u);
    EXPECT_EQ(ui.fileRequests.back().filters[0].first, "All Files (*.*)");
    EXPECT_TRUE(view.isEnabled("cmdDelete"));
    page.cmdDelete_Click();
    EXPECT_FALSE(fs::exists(f));
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[0].text,
              "Are you sure you want to remove this file?\n" + f.string() + "\nYou can NEVER get it back.");
    EXPECT_EQ(ui.messages[0].title, "Confirm file delete");
    EXPECT_EQ(ui.messages[0].defaultButton, ui::MsgDefault::Second);
    EXPECT_EQ(ui.messages[1].text, "The file was permanently deleted.");
    EXPECT_EQ(view.at("lblStatus").caption, "The file has been removed..");
    const auto status = captionsOf("lblStatus");
    EXPECT_NE(std::find(status.begin(), status.end(), "Overwriting 1 of 4"), status.end());
    EXPECT_NE(std::find(status.begin(), status.end(), "Overwriting 4 of 4"), status.end());
    const auto percent = captionsOf("lblStat");
    EXPECT_EQ(percent.front(), "25%");
    EXPECT_EQ(percent.back(), "100%");
    EXPECT_TRUE(view.isEnabled("cmdFile"));
    EXPECT_FALSE(busy.any());
}

TEST_F(Page, FileModeNoChangesNothing) {
    const auto f = dir / "keep.txt";
    TempDir::write(f, "precious");
    chooseFile(f);
    ui.answers.push_back(MsgAnswer::No);
    page.cmdDelete_Click();
    EXPECT_EQ(TempDir::read(f), "precious");
    EXPECT_FALSE(view.isEnabled("cmdDelete"));
    EXPECT_EQ(page.selectedFile(), "");
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(Page, CancellingTheDialogsSelectsNothing) {
    page.cmdFile_Click();  // no answer queued: cancelled
    // Both dialogs open in the user's home, not in the program's folder or the current one.
    EXPECT_EQ(ui.fileRequests.back().initialDir, "/home/user");
    EXPECT_EQ(page.selectedFile(), "");
    EXPECT_TRUE(view.isEnabled("cmdDelete"));
    view.setCaption("lblStatus", "x");
    page.cmdDelete_Click();
    EXPECT_EQ(view.at("lblStatus").caption, "");
    EXPECT_TRUE(ui.messages.empty());

    chooseFolder(dir.path());
    view.setEnabled("cmdDelete", false);
    page.cmdFolder_Click();  // cancelled: the earlier folder stays
    EXPECT_EQ(page.selectedFolder(), dir.path().string());
    EXPECT_FALSE(view.isEnabled("cmdDelete"));
    EXPECT_EQ(ui.folderRequests.back().title, "Choose Folder");
    EXPECT_EQ(ui.folderRequests.back().initialDir, "/home/user");
}

TEST_F(Page, LevelsAndTypedTextGiveTheirPassCounts) {
    view.setComboSelectedIndex("cmbSecure", 1);
    const auto f = dir / "high";
    TempDir::write(f, "x");
    shredFile(f);
    auto status = captionsOf("lblStatus");
    EXPECT_NE(std::find(status.begin(), status.end(), "Overwriting 8 of 8"), status.end());
    EXPECT_EQ(std::find(status.begin(), status.end(), "Overwriting 9 of 8"), status.end());
    EXPECT_EQ(captionsOf("lblStat").back(), "100%");

    view.log.clear();
    view.setComboSelectedIndex("cmbSecure", -1);  // the user typed over the level
    TempDir::write(f, "x");
    shredFile(f);
    status = captionsOf("lblStatus");
    EXPECT_NE(std::find(status.begin(), status.end(), "Overwriting 1 of 1"), status.end());
    EXPECT_EQ(page.passCount(), 0);
}

TEST_F(Page, AFileWithoutAnyDotIsShreddedToo) {
    fs::create_directories(dir / "nodots");
    const auto f = dir / "nodots" / "README";
    TempDir::write(f, "plain");
    shredFile(f);
    EXPECT_FALSE(fs::exists(f));
    EXPECT_EQ(lastMessage(), "The file was permanently deleted.");
}

TEST_F(Page, FileModeFailureIsToldAndTheFileStays) {
    const auto f = dir / "locked.db";
    TempDir::write(f, "data");
    files.failOpenFor.insert(f.string());
    shredFile(f);
    EXPECT_EQ(TempDir::read(f), "data");
    EXPECT_NE(lastMessage().find("The file was not shredded and is still in place:"), std::string::npos);
    EXPECT_NE(lastMessage().find("could not be opened for writing"), std::string::npos);
    EXPECT_NE(lastMessage().find(f.string()), std::string::npos);
    EXPECT_EQ(view.at("lblStatus").caption, "");
    EXPECT_FALSE(view.isVisible("pbCurrentPrgrs"));
}

TEST_F(Page, FileModeAcceptsOnlyARegularFile) {
    TempDir::write(outside / "target", "t");
    fs::create_symlink(outside / "target", dir / "link");
    ::mkfifo((dir / "pipe").c_str(), 0600);
    for (const char* name : {"link", "pipe"}) {
        shredFile(dir / name);
        EXPECT_EQ(ui.messages.back().text.rfind("Only a regular file can be shredded.", 0), 0u) << name;
        EXPECT_TRUE(fs::exists(fs::symlink_status(dir / name)));
    }
    EXPECT_EQ(TempDir::read(outside / "target"), "t");
}

TEST_F(Page, FileModeAsksBeforeOverwritingContentsSharedWithOtherNames) {
    const auto f = dir / "shared.txt";
    TempDir::write(f, "shared contents");
    fs::create_hard_link(f, outside / "other-name.txt");
    chooseFile(f);
    ui.answers = {MsgAnswer::Yes, MsgAnswer::No};
    page.cmdDelete_Click();
    EXPECT_NE(ui.messages[1].text.find("1 other names (hard links)"), std::string::npos);
    EXPECT_EQ(ui.messages[1].defaultButton, ui::MsgDefault::Second);
    EXPECT_EQ(TempDir::read(outside / "other-name.txt"), "shared contents");
    EXPECT_TRUE(fs::exists(f));
}

class FolderPage : public Page {
protected:
    fs::path victim = dir / "victim";
    void makeTree(int count) {
        for (int i = 1; i <= count; ++i) TempDir::write(victim / ("f" + std::to_string(i) + ".txt"), "secret");
    }
};

TEST_F(FolderPage, ShredsEveryFileAndRemovesTheFolderWithoutTouchingLinkTargets) {
    makeTree(3);
    TempDir::write(victim / "sub/deeper/x.bin", std::string(70000, 'X'));
    TempDir::write(outside / "keep.txt", "outside file");
    TempDir::write(outside / "dir/keep2.txt", "outside folder");
    fs::create_symlink(outside / "keep.txt", victim / "link-to-file");
    fs::create_directory_symlink(outside / "dir", victim / "sub/link-to-dir");
    ::mkfifo((victim / "sub/pipe").c_str(), 0600);
    shredFolder(victim);
    EXPECT_EQ(ui.messages[0].title, "Confirm folder delete");
    EXPECT_EQ(lastMessage(), "The folder was permanently deleted.");
    EXPECT_FALSE(fs::exists(fs::symlink_status(victim)));
    EXPECT_EQ(TempDir::read(outside / "keep.txt"), "outside file");
    EXPECT_EQ(TempDir::read(outside / "dir/keep2.txt"), "outside folder");
    EXPECT_EQ(files.opens, 4);  // each file opened once for all four passes and the emptying
    EXPECT_EQ(page.selectedFolder(), "");
    EXPECT_FALSE(view.isVisible("cmdCancel"));
    EXPECT_TRUE(view.isVisible("cmdQuit"));
}

TEST_F(FolderPage, AnEmptyFolderIsRemoved) {
    fs::create_directories(victim);
    shredFolder(victim);
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_EQ(lastMessage(), "The folder was permanently deleted.");
}

TEST_F(FolderPage, NoKeepsTheFolder) {
    makeTree(1);
    chooseFolder(victim);
    ui.answers.push_back(MsgAnswer::No);
    page.cmdDelete_Click();
    EXPECT_TRUE(fs::exists(victim / "f1.txt"));
    EXPECT_EQ(page.selectedFolder(), "");
}

TEST_F(FolderPage, AbortDuringTheThirdFileStopsBeforeTheFourth) {
    makeTree(5);
    int ticks = 0;
    ui.onProcessEvents = [&] {
        EXPECT_FALSE(view.isEnabled("cmdNext"));  // one busy state for the window
        EXPECT_TRUE(view.isVisible("cmdCancel"));
        if (++ticks == 9) page.cmdCancel_Click();  // during the third file's first pass
    };
    shredFolder(victim);
    EXPECT_FALSE(fs::exists(victim / "f1.txt"));
    EXPECT_FALSE(fs::exists(victim / "f3.txt"));
    EXPECT_TRUE(fs::exists(victim / "f4.txt"));
    EXPECT_TRUE(fs::exists(victim / "f5.txt"));
    EXPECT_EQ(view.at("lblStatus").caption, "Aborted by the user..");
    EXPECT_EQ(page.selectedFolder(), victim.string());
    EXPECT_FALSE(view.isEnabled("cmdDelete"));
    EXPECT_TRUE(view.isEnabled("cmdFile"));
    EXPECT_TRUE(view.isEnabled("cmdNext"));
    EXPECT_FALSE(page.abortRequested());
    ASSERT_EQ(ui.messages.size(), 2u);  // the confirmation, then what the stop left
    EXPECT_EQ(lastMessage(),
              "Shredding was stopped: 3 files were shredded.\r\n\r\nThe folder itself stays, with these "
              "2 files still in it:\r\n" +
                  (victim / "f4.txt").string() + "\r\n" + (victim / "f5.txt").string());
    EXPECT_EQ(view.at("lblChosen").caption, "");  // Delete is off until a new choice
}

TEST_F(FolderPage, AStopNamesTheFirstTenFilesLeftAndWhatFailedBeforeIt) {
    makeTree(12);  // walked as f1, f10, f11, f12, f2 ... f9
    files.failOpenFor.insert((victim / "f1.txt").string());
    ui.onProcessEvents = [&] {
        if (ui.pendingEventCalls == 1) page.cmdCancel_Click();  // during f10, the first file overwritten
    };
    shredFolder(victim);
    const auto& m = lastMessage();
    EXPECT_EQ(m.rfind("Shredding was stopped: 1 file was shredded.\r\n\r\nThe folder itself stays, with these 11 files "
                      "still in it:\r\n" +
                          (victim / "f1.txt").string() + "\r\n" + (victim / "f11.txt").string(),
                      0),
              0u)
        << m;
    EXPECT_TRUE(said(m, (victim / "f8.txt").string() + "\r\n...and 1 more.\r\n\r\n1 of 2 files was not shredded:\r\n" +
                            (victim / "f1.txt").string() + ": could not be opened for writing"))
        << m;
    EXPECT_FALSE(said(m, "f9.txt")) << m;
    EXPECT_EQ(ui.messages.back().icon, ui::MsgIcon::Exclamation);
}

TEST_F(FolderPage, ALevelChangedMidRunAppliesFromTheNextFile) {
    makeTree(2);
    int calls = 0;
    ui.onProcessEvents = [&] {
        if (++calls == 1) view.setComboSelectedIndex("cmbSecure", 2);
    };
    shredFolder(victim);
    const auto status = captionsOf("lblStatus");
    EXPECT_NE(std::find(status.begin(), status.end(), "Overwriting 4 of 4"), status.end());
    EXPECT_NE(std::find(status.begin(), status.end(), "Overwriting 16 of 16"), status.end());
}

TEST_F(FolderPage, FilesThatFailAreNamedAndStayWithTheirFolder) {
    makeTree(3);
    TempDir::write(victim / "sub/bad.txt", "x");
    files.failOpenFor.insert((victim / "sub/bad.txt").string());
    shredFolder(victim);
    EXPECT_TRUE(fs::exists(victim / "sub/bad.txt"));
    EXPECT_FALSE(fs::exists(victim / "f1.txt"));
    const auto& m = lastMessage();
    EXPECT_EQ(m.rfind("1 of 4 files was not shredded:", 0), 0u) << m;
    EXPECT_NE(m.find((victim / "sub/bad.txt").string() + ": could not be opened for writing"), std::string::npos);
    EXPECT_NE(m.find("stay in place"), std::string::npos);
    EXPECT_EQ(m.find("The folder was permanently deleted."), std::string::npos);
}

TEST_F(FolderPage, AFullDiskIsNamedAndTheFolderRunSaysItStoppedThere) {
    files.failWriteCode = ENOSPC;
    const auto f = dir / "big.iso";
    TempDir::write(f, "data");
    files.failWriteAtCall = 1;
    EXPECT_EQ(shredFile(f), "The file was not fully shredded and is still in place:\r\n" + f.string() +
                                "\r\nthe disk is full, so the passes stopped there and the file was left in place "
                                "(free some space on the disk and shred it again) (write: No space left on device)");

    makeTree(3);
    files.failWriteAtCall = files.writes + 1;
    shredFolder(victim);
    const auto& m = lastMessage();
    EXPECT_TRUE(said(m, "the disk is full, so the passes stopped there")) << m;
    EXPECT_TRUE(said(m, "\r\n\r\nThe disk is full, so shredding stopped after that file")) << m;
    EXPECT_TRUE(fs::exists(victim));
    EXPECT_FALSE(busy.any());
}

// A backslash is part of a name here, never a separator: what stays is named exactly as it is.
TEST_F(FolderPage, ABackslashInANameIsShownAsItIs) {
    const auto bad = victim / "sub\\dir" / "bad\\name.txt";
    TempDir::write(bad, "x");
    files.failOpenFor.insert(bad.string());
    shredFolder(victim);
    EXPECT_TRUE(fs::exists(bad));
    EXPECT_NE(lastMessage().find(bad.string() + ": could not be opened for writing"), std::string::npos)
        << lastMessage();
}

TEST_F(FolderPage, ReadOnlyFilesAndFoldersInsideTheChoiceAreShreddedToo) {
    makeTree(1);
    TempDir::write(victim / "ro/inner.txt", "x");
    files.readOnlyUntilMadeWritable = true;  // every file and folder lacks write permission
    EXPECT_EQ(shredFolder(victim), "The folder was permanently deleted.");
    EXPECT_NE(std::find(files.madeWritable.begin(), files.madeWritable.end(), (victim / "ro").string()),
              files.madeWritable.end());
    EXPECT_FALSE(fs::exists(victim));
}

TEST_F(FolderPage, AHardLinkedFileIsUnlinkedNotOverwritten) {
    makeTree(1);
    TempDir::write(victim / "linked.txt", "shared contents");
    fs::create_hard_link(victim / "linked.txt", outside / "elsewhere.txt");
    fs::create_symlink(outside / "elsewhere.txt", victim / "link");
    shredFolder(victim);
    EXPECT_EQ(TempDir::read(outside / "elsewhere.txt"), "shared contents");
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_NE(lastMessage().find("has other names (hard links)"), std::string::npos);
    // Left is what the disk holds: the folder and every name in it are gone.
    EXPECT_TRUE(said(lastMessage(),
                     "Found: 2 files, 0 folders and 1 other entry (links, pipes, devices, other "
                     "filesystems). Left: 0 files, 0 folders and 0 other entries."))
        << lastMessage();
    EXPECT_FALSE(said(lastMessage(), "stay in place")) << lastMessage();
}

TEST_F(FolderPage, AFileSwappedDuringItsShredIsNamedAndNeverCalledDeleted) {
    TempDir::write(victim / "big.bin", std::string(300000, 'B'));
    TempDir::write(outside / "precious.bin", "outside contents");
    int writes = 0;
    files.beforeCall = [&](const std::string& call, const std::string&) {
        if (call == "write" && ++writes == 2) {
            fs::rename(victim / "big.bin", dir / "moved.bin");
            fs::create_hard_link(outside / "precious.bin", victim / "big.bin");
        }
    };
    shredFolder(victim);
    EXPECT_EQ(TempDir::read(outside / "precious.bin"), "outside contents");
    const auto& m = lastMessage();
    EXPECT_EQ(m.find("permanently deleted"), std::string::npos) << m;
    EXPECT_NE(m.find("1 of 1 file was not shredded"), std::string::npos) << m;
    EXPECT_NE(
        m.find((victim / "big.bin").string() + ": was overwritten and emptied, but its name now leads to another file"),
        std::string::npos)
        << m;
}

TEST_F(Page, FileModeOverwritesOnlyWhatItOpenedAndSaysWhenTheNameMoved) {
    const auto f = dir / "report.odt";
    TempDir::write(f, std::string(20000, 'R'));
    TempDir::write(outside / "precious.bin", "outside contents");
    int writes = 0;
    files.beforeCall = [&](const std::string& call, const std::string&) {
        if (call == "write" && ++writes == 1) {
            fs::rename(f, dir / "moved.odt");
            fs::create_hard_link(outside / "precious.bin", f);
        }
    };
    shredFile(f);
    EXPECT_EQ(TempDir::read(outside / "precious.bin"), "outside contents");
    EXPECT_EQ(fs::file_size(dir / "moved.odt"), 0u);
    EXPECT_NE(lastMessage().find("its name now leads to another file"), std::string::npos) << lastMessage();
    EXPECT_EQ(lastMessage().find("permanently deleted"), std::string::npos);
}

TEST_F(Page, FileModeShredsOnlyTheFileThatWasConfirmed) {
    const auto f = dir / "letter.txt";
    TempDir::write(f, "mine");
    TempDir::write(outside / "theirs.txt", "outside contents");
    chooseFile(f);
    // After the question, before the engine looks: the name is given to a file from outside.
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call != "statAt" || path != f.string() || fs::exists(dir / "moved.txt")) return;
        fs::rename(f, dir / "moved.txt");
        fs::create_hard_link(outside / "theirs.txt", f);
    };
    page.cmdDelete_Click();
    EXPECT_EQ(TempDir::read(outside / "theirs.txt"), "outside contents");
    EXPECT_EQ(TempDir::read(dir / "moved.txt"), "mine");
    EXPECT_NE(lastMessage().find("was replaced by another file or a link"), std::string::npos) << lastMessage();
}

TEST_F(FolderPage, ARemovalLeftForTheNextStartIsNotCalledDone) {
    makeTree(2);
    files.failRemoveFor.insert((victim / "f2.txt").string());
    shredFolder(victim);
    EXPECT_NE(lastMessage().find("will remove it at its next start"), std::string::npos);
    auto entries = pending.entries();
    ASSERT_EQ(entries->size(), 1u);
    EXPECT_TRUE(fs::exists(entries->front().path));
    EXPECT_TRUE(fs::exists(victim));

    // The next start removes it, since it is still the same file.
    files.failRemoveFor.clear();
    auto report = pending.retry(files);
    EXPECT_EQ(report->removed, 1);
    EXPECT_FALSE(fs::exists(entries->front().path));
}

TEST_F(FolderPage, ClosingDuringARunStopsAfterTheCurrentFile) {
    makeTree(3);
    bool stopped = false;
    ui.onProcessEvents = [&] {
        if (ui.pendingEventCalls == 2) {
            ui.answers.push_back(MsgAnswer::Yes);
            EXPECT_FALSE(page.QueryClose([&] { stopped = true; }));
        }
    };
    shredFolder(victim);
    EXPECT_TRUE(stopped);
    EXPECT_FALSE(fs::exists(victim / "f1.txt"));
    EXPECT_TRUE(fs::exists(victim / "f2.txt"));
    EXPECT_TRUE(page.QueryClose({}));  // idle again
}

TEST_F(FolderPage, AFolderLeftIsNotCountedAsAFileNotShredded) {
    makeTree(1);
    TempDir::write(victim / "sub/two.txt", "secret");
    fs::create_symlink(outside.path(), victim / "link");
    files.failRemoveFor.insert((victim / "sub").string());
    shredFolder(victim);
    EXPECT_FALSE(fs::exists(victim / "sub/two.txt"));
    const auto& m = lastMessage();
    EXPECT_EQ(m.rfind("All 2 files were shredded, but not everything could be removed:\r\n" +
                          (victim / "sub").string() + ": could not be removed",
                      0),
              0u)
        << m;
    EXPECT_TRUE(said(m,
                     "Found: 2 files, 1 folder and 1 other entry (links, pipes, devices, other filesystems). "
                     "Left: 0 files, 1 folder and 0 other entries."))
        << m;
    EXPECT_FALSE(said(m, "Files that were not shredded stay in place")) << m;
    EXPECT_FALSE(said(m, "permanently deleted")) << m;
}

// What the probe says of each file decides between "permanently deleted" and "may remain".
class StoragePage : public FolderPage {
protected:
    using Reason = platform::RemainReason;
    static platform::StorageVerdict unchecked() {
        platform::StorageVerdict v;
        v.unverified = "no block map";
        return v;
    }
};

TEST_F(StoragePage, AFileOnCopyOnWriteStorageIsRemovedButNeverCalledPermanentlyDeleted) {
    const auto f = dir / "cow.txt";
    TempDir::write(f, "secret");
    probe.verdict = test::FakeStorageProbe::mayRemain(Reason::CopyOnWrite);
    shredFile(f);
    EXPECT_FALSE(fs::exists(f));  // the user chose it: still overwritten and removed
    EXPECT_EQ(lastMessage(), "The file was removed, but its old contents may remain on the disk:\r\n" + f.string() +
                                 "\r\nthis filesystem writes changes to new places (copy-on-write)");
    EXPECT_NE(view.at("lblStatus").caption, "The file has been removed..");
    // Both looks went to the one open file the passes wrote.
    ASSERT_EQ(probe.examined.size(), 1u);
    ASSERT_EQ(probe.verified.size(), 1u);
    EXPECT_EQ(probe.examined[0], probe.verified[0]);
    EXPECT_GE(probe.examined[0], 0);
    EXPECT_FALSE(busy.any());
}

TEST_F(StoragePage, WhatTheCheckAfterThePassesFindsOutweighsTheFirstLook) {
    const auto f = dir / "moved.txt";
    for (auto [after, expected] : {std::pair{test::FakeStorageProbe::mayRemain(Reason::Moved),
                                             std::string("the filesystem wrote the new data to other places")},
                                   std::pair{unchecked(), std::string("The file was permanently deleted.\r\n\r\n"
                                                                      "Quenvor could not check where the filesystem "
                                                                      "wrote the passes.")}}) {
        TempDir::write(f, "secret");
        probe.afterPasses = after;
        shredFile(f);
        EXPECT_FALSE(fs::exists(f));
        EXPECT_TRUE(said(lastMessage(), expected)) << lastMessage();
    }
    // A probe that cannot look at all is no promise either.
    TempDir::write(f, "secret");
    probe.afterPasses.reset();
    probe.examineFails = platform::Error{EIO, "fstatfs failed"};
    shredFile(f);
    EXPECT_TRUE(said(lastMessage(), "may remain on the disk")) << lastMessage();
    EXPECT_TRUE(said(lastMessage(), "could not find out where this filesystem keeps the data")) << lastMessage();
}

TEST_F(StoragePage, AFileThatFailsIsNotShreddedWhateverTheStorage) {
    const auto f = dir / "locked.txt";
    TempDir::write(f, "data");
    files.failOpenFor.insert(f.string());
    probe.verdict = test::FakeStorageProbe::mayRemain(Reason::CopyOnWrite);
    shredFile(f);
    EXPECT_EQ(lastMessage().rfind("The file was not shredded and is still in place:", 0), 0u) << lastMessage();
    EXPECT_FALSE(said(lastMessage(), "may remain"));
}

TEST_F(StoragePage, TheConfirmationsSayWhenOldContentsMayRemainThere) {
    const auto f = dir / "on-btrfs.txt";
    TempDir::write(f, "x");
    probe.byPath[f] = test::FakeStorageProbe::mayRemain(Reason::Journal);
    chooseFile(f);
    ui.answers.push_back(MsgAnswer::No);
    page.cmdDelete_Click();
    EXPECT_EQ(ui.messages.back().text,
              "Are you sure you want to remove this file?\n" + f.string() +
                  "\nYou can NEVER get it back.\r\n\r\n"
                  "Old contents may remain on the disk even after shredding here: the filesystem keeps a copy in its "
                  "journal.");
    EXPECT_TRUE(fs::exists(f));

    makeTree(1);
    probe.byPath[victim] = test::FakeStorageProbe::mayRemain(Reason::NetworkOrUserSpace);
    chooseFolder(victim);
    ui.answers.push_back(MsgAnswer::No);
    page.cmdDelete_Click();
    EXPECT_TRUE(said(ui.messages.back().text,
                     "Old contents may remain on the disk even after shredding here: it lives "
                     "on a network or user-space filesystem"))
        << ui.messages.back().text;

    // Where the files lie in place, the question is the plain one.
    probe.byPath.clear();
    chooseFolder(victim);
    ui.answers.push_back(MsgAnswer::No);
    page.cmdDelete_Click();
    EXPECT_FALSE(said(ui.messages.back().text, "may remain")) << ui.messages.back().text;
}

TEST_F(StoragePage, InAFolderTheFilesThatMayRemainAreCountedAndNamedApart) {
    makeTree(3);
    // f1, f2, f3 in the walk's order; f2 shares its blocks with a snapshot.
    probe.queued = {platform::StorageVerdict{}, test::FakeStorageProbe::mayRemain(Reason::SharedExtents),
                    platform::StorageVerdict{}};
    shredFolder(victim);
    EXPECT_FALSE(fs::exists(victim));
    const auto& m = lastMessage();
    EXPECT_FALSE(said(m, "permanently deleted")) << m;
    EXPECT_EQ(m.rfind("The folder was removed, but the old contents of some of its files may remain on the disk:", 0),
              0u)
        << m;
    EXPECT_EQ(std::count(m.begin(), m.end(), ':'), 2) << m;  // one file named
    EXPECT_TRUE(said(m, ": another file or a snapshot shares its contents")) << m;

    // Beside a failure: the failure counts as not shredded, the other as removed but remaining.
    makeTree(3);
    TempDir::write(victim / "bad.txt", "x");
    files.failOpenFor.insert((victim / "bad.txt").string());
    probe.queued.clear();
    probe.verdict = test::FakeStorageProbe::mayRemain(Reason::CopyOnWrite);
    shredFolder(victim);
    const auto& n = lastMessage();
    EXPECT_EQ(n.rfind("1 of 4 files was not shredded:", 0), 0u) << n;
    EXPECT_TRUE(said(n, "3 files were removed, but their old contents may remain on the disk:")) << n;
    EXPECT_FALSE(said(n, "permanently deleted")) << n;
}

// A file in an overlay's lower layer is never opened or made writable (either would copy it up
// whole), only hidden, and never called shredded; one whose layer cannot be told is left alone.
TEST_F(StoragePage, FilesOfAnOverlaysLowerLayerAreHiddenNeverWrittenAndSaidToStayBelow) {
    const std::string below =
        "it lies in the read-only lower layer of an overlay: it was only hidden from view, "
        "never overwritten, and its original stays in that layer";
    makeTree(3);
    ::chmod((victim / "f2.txt").c_str(), 0444);
    probe.layers.emplace("f2.txt", platform::FileLayer::Lower);
    probe.layers.emplace("f3.txt", platform::Error{ENOENT, "no upper folder"});
    const std::string lower = (victim / "f2.txt").string();
    std::vector<std::string> touched;  // what writing, renaming or a new mode would copy up
    files.beforeCall = [&](const std::string& call, const std::string& p) {
        if (call == "openFile" || call == "renameAt") touched.push_back(p);
    };
    shredFolder(victim);
    const auto& m = lastMessage();
    EXPECT_EQ(std::count(touched.begin(), touched.end(), lower), 0);
    EXPECT_EQ(std::count(files.madeWritable.begin(), files.madeWritable.end(), lower), 0);
    EXPECT_FALSE(fs::exists(victim / "f2.txt"));
    EXPECT_EQ(TempDir::read(victim / "f3.txt"), "secret");
    EXPECT_EQ(m.rfind("1 of 3 files was not shredded:", 0), 0u) << m;
    EXPECT_TRUE(said(m, (victim / "f3.txt").string() + ": it was left alone, as Quenvor could not tell which layer "
                                                       "of the overlay holds it (no upper folder)"))
        << m;
    EXPECT_TRUE(said(m, "1 file was removed, but its old contents may remain on the disk:\r\n" +
                            (victim / "f2.txt").string() + ": " + below))
        << m;

    // Alone, the same words; a name that cannot be removed leaves the file as it was.
    const auto f = dir / "lower.txt";
    TempDir::write(f, "secret");
    probe.layers = {{"lower.txt", platform::FileLayer::Lower}};
    files.failRemoveFor.insert(f.string());
    EXPECT_EQ(shredFile(f), "The file was not shredded and is still in place:\r\n" + f.string() +
                                "\r\ncould not be removed (cannot remove " + f.string() + ": Operation not permitted)");
    files.failRemoveFor.clear();
    shredFile(f);
    EXPECT_EQ(lastMessage(),
              "The file was removed, but its old contents may remain on the disk:\r\n" + f.string() + "\r\n" + below);
    EXPECT_FALSE(fs::exists(f));
    EXPECT_EQ(probe.examined.size(), 1u);  // f1's, before its passes
}

TEST_F(StoragePage, FilesWhoseBlockMapCouldNotBeComparedAreNamed) {
    makeTree(2);
    probe.queued = {unchecked(), platform::StorageVerdict{}};
    shredFolder(victim);
    EXPECT_EQ(lastMessage(),
              "The folder was permanently deleted.\r\n\r\nQuenvor could not check where the "
              "filesystem wrote the passes:\r\n" +
                  (victim / "f1.txt").string())
        << lastMessage();

    // Beside a failure too.
    makeTree(2);
    files.failOpenFor.insert((victim / "f2.txt").string());
    probe.queued = {unchecked()};
    shredFolder(victim);
    EXPECT_TRUE(said(lastMessage(), "Quenvor could not check where the filesystem wrote the passes:\r\n" +
                                        (victim / "f1.txt").string()))
        << lastMessage();
}

TEST(PageWithoutProbe, EveryFileCountsAsOverwrittenInPlace) {
    TempDir dir;
    platform::LinuxFileService files;
    test::ShredderRig rig(files, nullptr, nullptr);
    TempDir::write(dir / "a.txt", "x");
    EXPECT_EQ(rig.shredFile(dir / "a.txt"), "The file was permanently deleted.");
}

// A step that throws ends in a message that says what was not done, and the page is usable again.
class ThrowingPage : public FolderPage {
protected:
    void expectIdle() {
        EXPECT_FALSE(busy.any());
        EXPECT_FALSE(view.isVisible("cmdCancel"));
        EXPECT_TRUE(view.isEnabled("cmdFile"));
    }
};

TEST_F(ThrowingPage, AThrowInFileModeIsAFailureWithItsReason) {
    const auto f = dir / "a.txt";
    TempDir::write(f, "secret");
    files.beforeCall = [&](const std::string& call, const std::string&) {
        if (call == "write") throw std::runtime_error("disk vanished");
    };
    EXPECT_EQ(shredFile(f), "The file was not fully shredded and is still in place:\r\n" + f.string() +
                                "\r\nan unexpected error stopped this step (disk vanished)");
    expectIdle();
    // An exception with no words gets the general one.
    files.beforeCall = [&](const std::string& call, const std::string&) {
        if (call == "write") throw 42;
    };
    shredFile(f);
    EXPECT_TRUE(lastMessage().ends_with("\r\nan unexpected error stopped this step")) << lastMessage();
    expectIdle();
}

TEST_F(ThrowingPage, AFileWhoseShredThrowsIsNamedAndTheRunGoesOn) {
    makeTree(3);
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "openFile" && path == (victim / "f2.txt").string()) throw std::runtime_error("boom");
    };
    shredFolder(victim);
    EXPECT_FALSE(fs::exists(victim / "f1.txt"));
    EXPECT_FALSE(fs::exists(victim / "f3.txt"));
    EXPECT_TRUE(fs::exists(victim / "f2.txt"));
    const auto& m = lastMessage();
    EXPECT_EQ(m.rfind("1 of 3 files was not shredded:", 0), 0u) << m;
    EXPECT_TRUE(said(m, (victim / "f2.txt").string() + ": an unexpected error stopped this step (boom)")) << m;
    expectIdle();
}

TEST_F(ThrowingPage, AWalkThatThrowsEndsTheRunWithTheRestInPlace) {
    makeTree(1);
    TempDir::write(victim / "sub/deep.txt", "secret");
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "list" && path == (victim / "sub").string()) throw std::runtime_error("listing broke");
    };
    shredFolder(victim);
    EXPECT_TRUE(fs::exists(victim / "sub/deep.txt"));
    const auto& m = lastMessage();
    EXPECT_FALSE(said(m, "permanently deleted")) << m;
    EXPECT_TRUE(said(m, victim.string() + ": an unexpected error stopped this step (listing broke)")) << m;
    expectIdle();
}

TEST_F(ThrowingPage, ARemovalThatThrowsNeverEndsInPermanentlyDeleted) {
    makeTree(2);
    bool walked = false;
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call == "truncate") walked = true;
        // The removal renames each folder before it goes.
        if (walked && call == "renameAt" && path == (victim / "sub").string()) throw std::runtime_error("gone wrong");
    };
    fs::create_directories(victim / "sub");
    shredFolder(victim);
    const auto& m = lastMessage();
    EXPECT_FALSE(said(m, "permanently deleted")) << m;
    EXPECT_TRUE(said(m, ": an unexpected error stopped this step (gone wrong)")) << m;
    EXPECT_TRUE(said(m, "All 2 files were shredded")) << m;
    expectIdle();
}

// "Not shredded" would tell the user the contents survive, when only the name does.
TEST_F(Page, FileModeSaysWhatBecameOfAFileItCouldNotRemove) {
    const std::string original(5000, 'K');
    const auto queued = dir / "queued.txt", unlisted = dir / "unlisted.txt";
    TempDir::write(queued, original);
    files.failRemoveFor.insert(queued.string());
    shredFile(queued);
    EXPECT_EQ(lastMessage().find("The file was overwritten, but it was not removed:\r\n" + queued.string()), 0u)
        << lastMessage();
    EXPECT_EQ(lastMessage().find("not shredded"), std::string::npos);
    EXPECT_NE(TempDir::read(queued), original);

    TempDir::write(unlisted, original);
    files.failRemoveFor.insert(unlisted.string());
    files.failRemoveAtNextStart = true;
    shredFile(unlisted);
    EXPECT_EQ(lastMessage().find("The file was overwritten, but it was not removed:"), 0u) << lastMessage();
    EXPECT_NE(lastMessage().find("could not be removed"), std::string::npos);
}

TEST_F(FolderPage, TheProgramsFoldersTheHomeAndRootsNeedTheirOwnAnswer) {
    folders.program = dir / "apps/quenvor";
    folders.home = dir / "home";
    fs::create_directories(folders.home);
    TempDir::write(folders.program / "help/quenvor.htm", "help");
    std::vector<std::pair<fs::path, std::string>> cases{
        {folders.program, "This is the folder that holds Quenvor itself:"},
        {dir / "apps", "This folder holds Quenvor itself:"},
        {dir.path(), "This folder holds Quenvor itself:"},
        {folders.home, "This is your home folder:"},
        {"/", "This is the root of the whole system:"},
    };
    if (fs::exists("/proc/self")) cases.emplace_back("/proc", "This is the root of a filesystem");
    for (const auto& [folder, says] : cases) {
        ui.messages.clear();
        ui.answers = {MsgAnswer::No};
        shredFolder(folder);
        ASSERT_EQ(ui.messages.size(), 1u) << folder;
        EXPECT_EQ(ui.messages[0].text.find(says), 0u) << ui.messages[0].text;
        EXPECT_NE(ui.messages[0].text.find("\r\n" + folder.string() + "\r\n"), std::string::npos);
        EXPECT_EQ(ui.messages[0].buttons, ui::MsgButtons::YesNo);
        EXPECT_EQ(ui.messages[0].defaultButton, ui::MsgDefault::Second);
        EXPECT_EQ(page.selectedFolder(), "");
        EXPECT_FALSE(view.isEnabled("cmdDelete"));
    }
    EXPECT_EQ(TempDir::read(folders.program / "help/quenvor.htm"), "help");

    // Yes to it leads on to the usual question, never straight into the run.
    ui.messages.clear();
    ui.answers = {MsgAnswer::Yes, MsgAnswer::No};
    shredFolder(folders.home);
    ASSERT_EQ(ui.messages.size(), 2u);
    EXPECT_EQ(ui.messages[1].title, "Confirm folder delete");
    EXPECT_TRUE(fs::exists(folders.home));

    makeTree(1);
    ui.messages.clear();
    ui.answers = {MsgAnswer::No};
    shredFolder(victim);
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].title, "Confirm folder delete");
}

TEST_F(Page, TheProgramFileNeedsItsOwnAnswerUnderAnyOfItsNames) {
    folders.exe = dir / "quenvor";
    TempDir::write(folders.exe, "program");
    fs::create_hard_link(folders.exe, dir / "another-name");
    for (const auto& chosen : {folders.exe, dir / "another-name"}) {
        ui.messages.clear();
        ui.answers = {MsgAnswer::No};
        shredFile(chosen);
        ASSERT_EQ(ui.messages.size(), 1u);
        EXPECT_EQ(ui.messages[0].text.find("This is Quenvor's own program file:\r\n" + chosen.string()), 0u)
            << ui.messages[0].text;
        EXPECT_EQ(ui.messages[0].defaultButton, ui::MsgDefault::Second);
        EXPECT_EQ(page.selectedFile(), "");
        EXPECT_FALSE(view.isEnabled("cmdDelete"));
    }
    EXPECT_EQ(TempDir::read(folders.exe), "program");
}

TEST_F(FolderPage, AbortIsShownAtOnceAndKeptInViewUntilTheFileIsDone) {
    makeTree(3);
    std::string statusAtClick;
    bool abortEnabledAfterClick = true;
    ui.onProcessEvents = [&] {
        if (ui.pendingEventCalls != 1) return;
        page.cmdCancel_Click();
        statusAtClick = view.at("lblStatus").caption.value_or("");
        abortEnabledAfterClick = view.isEnabled("cmdCancel");
    };
    shredFolder(victim);
    EXPECT_EQ(statusAtClick, "Stopping after the current file..");
    EXPECT_FALSE(abortEnabledAfterClick);  // heard; a second click would change nothing
    const auto statuses = captionsOf("lblStatus");
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "Overwriting 2 of 4 (stopping after this file)"),
              statuses.end());
    EXPECT_EQ(view.at("lblStatus").caption, "Aborted by the user..");
    EXPECT_FALSE(fs::exists(victim / "f1.txt"));
    EXPECT_TRUE(fs::exists(victim / "f2.txt"));

    // The next run has a working Abort again and plain progress lines.
    bool abortUsable = false;
    ui.onProcessEvents = [&] { abortUsable = view.isVisible("cmdCancel") && view.isEnabled("cmdCancel"); };
    shredFolder(victim);
    EXPECT_TRUE(abortUsable);
    EXPECT_FALSE(fs::exists(victim));
}

// Abort clicked while nothing runs is not held over to stop the next run before its first file.
TEST_F(FolderPage, AbortBetweenRunsStopsNothing) {
    makeTree(3);
    page.cmdCancel_Click();
    shredFolder(victim);
    EXPECT_FALSE(fs::exists(victim));
    EXPECT_EQ(lastMessage(), "The folder was permanently deleted.");
}

TEST_F(FolderPage, TheFinalMessageHasQuitBehindItNotAbort) {
    std::vector<std::pair<bool, bool>> onScreen;  // Abort shown, Quit shown, per message
    ui.onMessage = [&] { onScreen.emplace_back(view.isVisible("cmdCancel"), view.isVisible("cmdQuit")); };
    makeTree(2);
    shredFolder(victim);
    ASSERT_EQ(onScreen.size(), 2u);  // the question, then the result
    EXPECT_EQ(lastMessage(), "The folder was permanently deleted.");
    EXPECT_EQ(onScreen[1], std::make_pair(false, true));

    makeTree(2);
    files.failOpenFor.insert((victim / "f1.txt").string());
    shredFolder(victim);
    ASSERT_EQ(onScreen.size(), 4u);
    EXPECT_NE(lastMessage().find("f1.txt"), std::string::npos);
    EXPECT_EQ(onScreen[3], std::make_pair(false, true));
}

// The choice is held from the Yes to the final message: a swap during the run never sends the
// shred to another folder, and the message says what became of the folder and its path.
TEST_F(FolderPage, AFolderSwappedDuringTheRunIsShreddedWhereItWentAndTheMessageSaysSo) {
    for (const bool viaLink : {false, true}) {
        SCOPED_TRACE(viaLink ? "a folder on its path replaced by a link" : "exchanged with another folder");
        const fs::path base = dir / (viaLink ? "linked" : "exchanged");
        victim = base / "g/v";
        const fs::path other = viaLink ? base / "elsewhere" : base / "g/precious";
        makeTree(2);
        TempDir::write(other / (viaLink ? "v/doc" : "doc"), "document");
        int opened = 0;
        files.beforeCall = [&](const std::string& call, const std::string&) {
            if (call != "openFile" || ++opened != 2) return;
            if (!viaLink) {
                ASSERT_EQ(::renameat2(AT_FDCWD, victim.c_str(), AT_FDCWD, other.c_str(), RENAME_EXCHANGE), 0);
                return;
            }
            fs::rename(base / "g", base / "g-moved");
            fs::create_directory_symlink(other, base / "g");
        };
        shredFolder(victim);
        EXPECT_EQ(TempDir::read(victim / "doc"), "document");
        const auto& m = lastMessage();
        EXPECT_FALSE(said(m, "permanently deleted")) << m;
        if (viaLink) {
            EXPECT_FALSE(fs::exists(base / "g-moved/v"));
            EXPECT_EQ(m,
                      "The folder was shredded and removed, but while that went on it was moved (a folder on its "
                      "path was moved or replaced). Whatever is now at its path was left alone:\r\n" +
                          victim.string());
        } else {
            EXPECT_TRUE(fs::is_empty(other));
            EXPECT_EQ(m.rfind("All 2 files were shredded, but not everything could be removed:\r\n" + victim.string() +
                                  ": was moved or replaced while it was being shredded",
                              0),
                      0u)
                << m;
        }
    }
}

TEST_F(FolderPage, AFolderReplacedByALinkBetweenTheYesAndTheRunIsNotShredded) {
    makeTree(2);
    TempDir::write(outside / "doc", "document");
    files.beforeCall = [&](const std::string& call, const std::string& path) {
        if (call != "statAt" || path != victim.string() || fs::exists(dir / "moved")) return;
        fs::rename(victim, dir / "moved");
        fs::create_directory_symlink(outside.path(), victim);
    };
    shredFolder(victim);
    EXPECT_EQ(lastMessage(),
              "The folder was not shredded: it, or a folder on its path, was moved or replaced after it "
              "was chosen:\r\n" +
                  victim.string());
    EXPECT_EQ(TempDir::read(outside / "doc"), "document");
    EXPECT_EQ(TempDir::read(dir / "moved/f1.txt"), "secret");
    EXPECT_FALSE(busy.any());
}

// In file mode the folder holding the file is held: each message says where the file went.
TEST_F(Page, FileModeSaysTheTruthWhenTheFileOrItsFolderMoves) {
    struct Case {
        const char* name;
        const char* when;  // the call before which it moves
        const char* says;
    };
    const Case cases[] = {
        {"gone", "statAt",
         "The file was not shredded:\r\n%p\r\nis no longer there: another program moved, renamed or removed it "
         "after it was confirmed"},
        {"renamed", "write",
         "The file was overwritten, but it was not removed:\r\n%p\r\nwas overwritten and emptied, but it was moved "
         "or renamed while it was being shredded: the empty file was left where it went"},
        {"linked", "write",
         "The file was shredded and removed, but while that went on it was moved (a folder on its path was moved or "
         "replaced). Whatever is now at its path was left alone:\r\n%p"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const fs::path base = dir / c.name, f = base / "g/report.odt", elsewhere = outside / c.name;
        TempDir::write(f, std::string(20000, 'R'));
        TempDir::write(elsewhere / "report.odt", "theirs");
        bool moved = false;
        files.beforeCall = [&](const std::string& call, const std::string& path) {
            if (moved || call != c.when || (call == std::string("statAt") && path != f.string())) return;
            moved = true;
            if (c.name == std::string("linked")) {
                fs::rename(base / "g", base / "g-moved");
                fs::create_directory_symlink(elsewhere, base / "g");
            } else {
                fs::rename(f, base / "g/moved.odt");
            }
        };
        shredFile(f);
        ASSERT_TRUE(moved);
        EXPECT_EQ(lastMessage(), ui::replaceAll(c.says, "%p", f.string()));
        EXPECT_EQ(TempDir::read(elsewhere / "report.odt"), "theirs");
        files.beforeCall = nullptr;
    }
    EXPECT_EQ(TempDir::read(dir / "gone/g/moved.odt"), std::string(20000, 'R'));
    EXPECT_EQ(fs::file_size(dir / "renamed/g/moved.odt"), 0u);
    EXPECT_FALSE(fs::exists(dir / "linked/g-moved/report.odt"));
}

// A path the user reached through a linked folder (a home or a documents folder kept on
// another disk) is resolved once at the Yes, and shredded where the link led then.
TEST_F(FolderPage, AChoiceReachedThroughALinkedFolderIsShreddedWhereTheLinkLed) {
    TempDir::write(dir / "real/file.txt", "secret");
    TempDir::write(dir / "real/folder/x.txt", "secret");
    fs::create_directory_symlink(dir / "real", dir / "link");
    fs::create_directory_symlink("real", dir / "relative");
    EXPECT_EQ(shredFile(dir / "link/file.txt"), "The file was permanently deleted.");
    EXPECT_EQ(shredFolder(dir / "relative/folder"), "The folder was permanently deleted.");
    EXPECT_TRUE(fs::is_empty(dir / "real"));
    EXPECT_TRUE(fs::is_symlink(dir / "link"));
    EXPECT_TRUE(fs::is_symlink(dir / "relative"));
}

// The label under the buttons shows what Delete would destroy, from the choice until it is used
// or dropped.
TEST_F(FolderPage, TheChoiceIsNamedUnderTheButtonsUntilItIsUsedOrDropped) {
    const auto label = [&] { return view.at("lblChosen").caption.value_or("?"); };
    const auto f = dir / "letter.txt";
    TempDir::write(f, "x");
    makeTree(2);
    EXPECT_EQ(label(), "");
    chooseFile(f);
    EXPECT_EQ(label(), f.string());
    chooseFolder(victim);
    EXPECT_EQ(label(), victim.string());
    ui.answers.push_back(MsgAnswer::No);
    page.cmdDelete_Click();
    EXPECT_EQ(label(), "");

    chooseFolder(victim);
    std::string duringRun;
    ui.onProcessEvents = [&] { duringRun = label(); };
    page.cmdDelete_Click();
    EXPECT_EQ(duringRun, victim.string());
    EXPECT_EQ(label(), "");

    chooseFile(f);
    page.cmdFile_Click();  // cancelled: nothing is chosen any more
    EXPECT_EQ(label(), "");
}

TEST_F(FolderPage, BothQuestionsNameTheirTargetAfterTheQuestion) {
    const auto f = dir / "letter.txt";
    TempDir::write(f, "x");
    makeTree(1);
    struct Case {
        std::function<void()> choose;
        std::string says;
    };
    const Case cases[] = {
        {[&] { chooseFile(f); },
         "Are you sure you want to remove this file?\n" + f.string() + "\nYou can NEVER get it back."},
        {[&] { chooseFolder(victim); }, "Are you sure you want to remove this folder and the files located in it?\n" +
                                            victim.string() + "\nYou can NEVER get it back."},
    };
    for (const auto& c : cases) {
        c.choose();
        ui.answers.push_back(MsgAnswer::No);
        page.cmdDelete_Click();
        EXPECT_EQ(ui.messages.back().text, c.says);
        EXPECT_EQ(ui.messages.back().defaultButton, ui::MsgDefault::Second);
    }
    EXPECT_TRUE(fs::exists(f));
    EXPECT_TRUE(fs::exists(victim / "f1.txt"));
}

TEST_F(FolderPage, CountsOfOneAreSingularInBothLanguages) {
    struct Case {
        int files, failing;
        bool stuckFolder;  // an empty subfolder that cannot be removed
        std::int32_t language;
        std::vector<std::string> says;
    };
    const Case cases[] = {
        {1, 1, false, ui::kEnglish, {"1 of 1 file was not shredded:", "Found: 1 file, 0 folders", "Left: 1 file,"}},
        {2, 1, false, ui::kEnglish, {"1 of 2 files was not shredded:"}},
        {3,
         2,
         false,
         ui::kEnglish,
         {"2 of 3 files were not shredded:", "Left: 2 files, 0 folders and 0 other entries."}},
        {1,
         0,
         true,
         ui::kEnglish,
         {"The only file was shredded, but not everything could be removed:",
          "Found: 1 file, 1 folder and 0 other entries", "Left: 0 files, 1 folder and"}},
        {0, 0, true, ui::kEnglish, {"There were no files to shred, but not everything could be removed:"}},
        {1,
         1,
         false,
         ui::kSpanish,
         {"1 de 1 archivo no fue triturado:",
          "Encontrados: 1 archivo, 0 carpetas y 0 otras entradas (enlaces, tuberías, "
          "dispositivos, otros sistemas de archivos). Quedan: 1 archivo, 0 carpetas y 0 "
          "otras entradas."}},
    };
    for (const auto& c : cases) {
        fs::remove_all(victim);
        fs::create_directories(victim);
        files.failOpenFor.clear();
        files.failRemoveFor.clear();
        strings.setLanguage(c.language);
        makeTree(c.files);
        for (int i = 1; i <= c.failing; ++i)
            files.failOpenFor.insert((victim / ("f" + std::to_string(i) + ".txt")).string());
        if (c.stuckFolder) {
            fs::create_directories(victim / "sub");
            files.failRemoveFor.insert((victim / "sub").string());
        }
        shredFolder(victim);
        for (const auto& part : c.says) EXPECT_TRUE(said(lastMessage(), part)) << lastMessage();
    }
}

// Killed after the first pass, as a power cut would stop it: the next start names the file left
// half overwritten and finishes it with the level it had, without asking twice.
TEST_F(Page, AShredKilledMidwayIsFoundAndFinishedAtTheNextStart) {
    const auto f = dir / "big.bin";
    const std::string original(std::size_t{256} * 1024, 'S');
    TempDir::write(f, original);
    InterruptedRun run(files, dir / "state/interrupted-shred");
    page.setRunRecord(&run);
    view.setComboSelectedIndex("cmbSecure", 1);  // 8 passes
    chooseFile(f);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ui.onProcessEvents = [&] {
            if (view.at("lblStatus").caption != "Overwriting 1 of 8") return;
            if (::write(ready[1], "1", 1) == 1)
                for (;;) ::pause();
            ::_exit(2);
        };
        page.cmdDelete_Click();
        ::_exit(1);  // the run ended by itself: the parent sees no signal
    }
    ::close(ready[1]);
    char c = 0;
    const bool reached = ::read(ready[0], &c, 1) == 1;
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ASSERT_TRUE(reached);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_NE(TempDir::read(f), original);  // overwritten once, still under its own name

    view.setComboSelectedIndex("cmbSecure", 0);
    ui.answers = {MsgAnswer::Yes};
    const auto again = InterruptedRunOffer({ui, strings, files, nullptr}).ask(run);
    ASSERT_TRUE(again);
    EXPECT_TRUE(said(lastMessage(), "still there under its own name:\r\n" + f.string())) << lastMessage();
    EXPECT_TRUE(said(lastMessage(), "(8 passes)?"));
    const auto asked = ui.messages.size();
    page.resume(*again);
    EXPECT_FALSE(fs::exists(f));
    EXPECT_EQ(view.comboSelectedIndex("cmbSecure"), 1);
    const auto status8 = captionsOf("lblStatus");
    EXPECT_NE(std::find(status8.begin(), status8.end(), "Overwriting 8 of 8"), status8.end());
    ASSERT_EQ(ui.messages.size(), asked + 1);
    EXPECT_EQ(lastMessage(), "The file was permanently deleted.");
    EXPECT_FALSE(fs::exists(run.file()));
}

// Several files and folders chosen together: one question naming them, one run, one account.
class ManyPage : public Page {
protected:
    // `n` files of their own names in `dir`, and a folder with two files in it, chosen together.
    std::vector<std::string> makeChoice(int n) {
        std::vector<std::string> paths;
        for (int i = 1; i <= n; ++i) {
            const auto f = dir / ("m" + std::to_string(i) + ".txt");
            TempDir::write(f, std::string(3000, 'M'));
            paths.push_back(f.string());
        }
        TempDir::write(dir / "box/a.txt", "a");
        TempDir::write(dir / "box/b.txt", "b");
        paths.push_back((dir / "box").string());
        return paths;
    }
    bool gone(const std::vector<std::string>& paths) const {
        return std::none_of(paths.begin(), paths.end(), [](const std::string& p) { return fs::exists(p); });
    }
};

TEST_F(ManyPage, SeveralChosenAreConfirmedOnceShreddedInOneRunAndAccountedForOnce) {
    // From the file dialog, several files of a folder at once.
    const auto paths = makeChoice(11);
    quenvor::ui::FileDialogResult picked;
    picked.accepted = true;
    picked.files = {paths[0], paths[1], paths[2]};
    ui.fileAnswers.push_back(picked);
    page.cmdFile_Click();
    EXPECT_TRUE(ui.fileRequests.back().multiSelect);
    EXPECT_EQ(page.chosenItems(), picked.files);
    EXPECT_EQ(view.at("lblChosen").caption, "3 items chosen");

    // Dropped on the page: the files, the folder, and one of them twice, chosen once.
    auto dropped = paths;
    dropped.push_back(paths[0]);
    ASSERT_TRUE(page.choose(dropped));
    EXPECT_EQ(page.chosenItems(), paths);
    EXPECT_EQ(view.at("lblChosen").caption, "12 items chosen");
    // The whole choice on demand, before anything goes.
    ASSERT_TRUE(view.isVisible("cmdChosenList"));
    page.cmdChosenList_Click();
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].text, "12 items chosen");
    EXPECT_EQ(ui.messages[0].details.size(), 12u);
    EXPECT_TRUE(std::all_of(paths.begin(), paths.end(), [](const std::string& p) { return fs::exists(p); }));
    ui.messages.clear();
    page.cmdDelete_Click();
    EXPECT_FALSE(view.isVisible("cmdChosenList"));
    EXPECT_TRUE(gone(paths));
    ASSERT_EQ(ui.messages.size(), 2u);
    const auto& ask = ui.messages[0];
    EXPECT_EQ(ask.text.find("Are you sure you want to remove these 12 items?"), 0u) << ask.text;
    EXPECT_NE(ask.text.find(paths[9]), std::string::npos);
    EXPECT_EQ(ask.text.find(paths[10]), std::string::npos);
    EXPECT_NE(ask.text.find("...and 2 more."), std::string::npos);
    EXPECT_EQ(ask.details.size(), 12u);
    EXPECT_EQ(ask.defaultButton, ui::MsgDefault::Second);
    EXPECT_EQ(lastMessage(), "12 of 12 items were permanently deleted.");
    EXPECT_EQ(ui.messages[1].icon, ui::MsgIcon::Information);
    const auto status = captionsOf("lblStatus");
    EXPECT_NE(std::find(status.begin(), status.end(), "Item 12 of 12: Overwriting 4 of 4"), status.end());
    EXPECT_TRUE(page.chosenItems().empty());
    EXPECT_FALSE(view.isEnabled("cmdDelete"));
    EXPECT_FALSE(busy.any());

    // One thing alone is the single choice of today, file or folder.
    TempDir::write(dir / "one.txt", "1");
    ASSERT_TRUE(page.choose({(dir / "one.txt").string()}));
    EXPECT_EQ(page.selectedFile(), (dir / "one.txt").string());
    fs::create_directories(dir / "sub");
    ASSERT_TRUE(page.choose({(dir / "sub").string()}));
    EXPECT_EQ(page.selectedFolder(), (dir / "sub").string());
    EXPECT_EQ(page.selectedFile(), "");
    EXPECT_TRUE(page.chosenItems().empty());

    // No is no: nothing happens to any of them.
    const auto kept = makeChoice(2);
    ASSERT_TRUE(page.choose(kept));
    ui.messages.clear();
    ui.answers = {MsgAnswer::No};
    page.cmdDelete_Click();
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_TRUE(std::all_of(kept.begin(), kept.end(), [](const std::string& p) { return fs::exists(p); }));
    EXPECT_TRUE(page.chosenItems().empty());
}

TEST_F(ManyPage, AProtectedOneAsksOnItsOwnAndIsLeftWhenDeclined) {
    auto paths = makeChoice(2);
    folders.home = dir / "home";
    TempDir::write(folders.home / "notes", "mine");
    paths.push_back(folders.home.string());
    const std::string missing = (dir / "never-there").string();
    paths.push_back(missing);
    ASSERT_TRUE(page.choose(paths));
    ui.answers = {MsgAnswer::No, MsgAnswer::Yes};
    page.cmdDelete_Click();
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.messages[0].text.find("This is your home folder:"), 0u);
    EXPECT_EQ(ui.messages[1].text.find("Are you sure you want to remove these 3 items?"), 0u);
    EXPECT_EQ(ui.messages[1].text.find(folders.home.string()), std::string::npos);
    EXPECT_EQ(TempDir::read(folders.home / "notes"), "mine");
    EXPECT_TRUE(gone({paths[0], paths[1], paths[2]}));
    EXPECT_EQ(lastMessage().find("3 of 5 items were permanently deleted.\r\n\r\nThese were left, and why:"), 0u);
    EXPECT_TRUE(said(lastMessage(), folders.home.string() + ": you chose not to shred it"));
    EXPECT_TRUE(said(lastMessage(), missing + ": "));
    EXPECT_EQ(ui.messages[2].icon, ui::MsgIcon::Exclamation);
    EXPECT_EQ(ui.messages[2].details.size(), 8u);  // two headings, a blank line between, five things
}

TEST_F(ManyPage, AbortStopsAfterTheCurrentFileAndTheAccountSaysWhatWasDone) {
    const auto paths = makeChoice(3);
    int ticks = 0;
    ui.onProcessEvents = [&] {
        if (++ticks == 2) page.cmdCancel_Click();  // during the first file
    };
    ASSERT_TRUE(page.choose(paths));
    page.cmdDelete_Click();
    EXPECT_FALSE(fs::exists(paths[0]));
    EXPECT_TRUE(fs::exists(paths[1]));
    EXPECT_TRUE(fs::exists(dir / "box/a.txt"));
    EXPECT_EQ(view.at("lblStatus").caption, "Aborted by the user..");
    EXPECT_FALSE(page.abortRequested());
    EXPECT_EQ(lastMessage(),
              "1 of 4 items were permanently deleted.\r\n\r\nThe run was stopped before these, "
              "which are untouched:\r\n" +
                  paths[1] + "\r\n" + paths[2] + "\r\n" + paths[3]);
    EXPECT_FALSE(busy.any());
}

TEST_F(ManyPage, OneMovedWhileShreddedIsNamedWithWhatItsPathNowShows) {
    auto paths = makeChoice(1);
    const fs::path base = dir / "linked", f = base / "g/report.odt", elsewhere = outside / "linked";
    TempDir::write(f, std::string(20000, 'R'));
    TempDir::write(elsewhere / "report.odt", "theirs");
    paths.insert(paths.begin(), f.string());
    bool moved = false;
    files.beforeCall = [&](const std::string& call, const std::string&) {
        if (moved || call != "write") return;
        moved = true;
        fs::rename(base / "g", base / "g-moved");
        fs::create_directory_symlink(elsewhere, base / "g");
    };
    ASSERT_TRUE(page.choose(paths));
    page.cmdDelete_Click();
    ASSERT_TRUE(moved);
    EXPECT_EQ(TempDir::read(elsewhere / "report.odt"), "theirs");
    EXPECT_FALSE(fs::exists(base / "g-moved/report.odt"));
    EXPECT_EQ(lastMessage(),
              "3 of 3 items were permanently deleted.\r\n\r\nThese were shredded and removed, but "
              "while that went on they were moved (a folder on their path was moved or replaced); "
              "whatever is now at these paths was left alone:\r\n" +
                  f.string());
}

}  // namespace
}  // namespace quenvor::shredder
