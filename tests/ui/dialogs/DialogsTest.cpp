#include <gtest/gtest.h>

#include "platform/RaisedError.h"
#include "support/ScriptedUi.h"
#include "ui/dialogs/cBrowseForFolder.h"
#include "ui/dialogs/cCommonDialog.h"

namespace quenvor::ui {
namespace {

FileDialogResult picked(std::vector<std::string> files, int filterIndex = 1) {
    FileDialogResult r;
    r.accepted = true;
    r.files = std::move(files);
    r.filterIndex = filterIndex;
    return r;
}

TEST(cCommonDialog, ConfirmingFillsNameTitleAndTheChosenFilter) {
    test::ScriptedUi ui;
    cCommonDialog dlg(ui);
    dlg.setDialogTitle("Select file to delete");
    dlg.setFlags(6144);
    dlg.setFilter("All Files (*.*)|*.*|Texts|*.txt");
    dlg.setFilterIndex(2);
    ui.fileAnswers.push_back(picked({"/home/ana/notes.txt"}, 2));
    dlg.ShowOpen();
    const auto& req = ui.fileRequests.back();
    EXPECT_EQ(req.title, "Select file to delete");
    EXPECT_TRUE(req.fileMustExist);
    EXPECT_FALSE(req.multiSelect);
    EXPECT_EQ(req.filters,
              (std::vector<std::pair<std::string, std::string>>{{"All Files (*.*)", "*.*"}, {"Texts", "*.txt"}}));
    EXPECT_EQ(req.filterIndex, 2);
    EXPECT_EQ(dlg.Filename(), "/home/ana/notes.txt");
    EXPECT_EQ(dlg.FileTitle(), "notes.txt");
    EXPECT_EQ(dlg.FilterIndex(), 2);
    EXPECT_EQ(dlg.Filter(), std::string("Texts\0*.txt", 11));

    // The next dialog opens with that file in its name box.
    dlg.ShowOpen();
    EXPECT_EQ(ui.fileRequests.back().initialFile, "/home/ana/notes.txt");
}

TEST(cCommonDialog, CancellingEmptiesTheResultAndRaisesNothing) {
    test::ScriptedUi ui;
    cCommonDialog dlg(ui);
    dlg.setCancelError(true);
    dlg.setFilename("/old/choice");
    dlg.setFilter("All|*.*");
    dlg.setFlags(6144);
    EXPECT_NO_THROW(dlg.ShowOpen());
    EXPECT_EQ(dlg.Filename(), "");
    EXPECT_EQ(dlg.FileTitle(), "");
    EXPECT_EQ(dlg.Filter(), "");
    EXPECT_EQ(dlg.flags(), 0);
    EXPECT_EQ(dlg.FilterIndex(), -1);
    dlg.ShowOpen();
    EXPECT_EQ(ui.fileRequests.back().initialFile, "");
}

TEST(cCommonDialog, AColonInADescriptionSplitsIt) {
    EXPECT_EQ(cCommonDialog::parseFilter("Docs: all|*.doc"),
              (std::vector<std::pair<std::string, std::string>>{{"Docs", " all"}, {"*.doc", ""}}));
    EXPECT_TRUE(cCommonDialog::parseFilter("").empty());
}

TEST(cCommonDialog, ParseMultiFileNameSplitsFolderAndNames) {
    test::ScriptedUi ui;
    cCommonDialog dlg(ui);
    std::string folder;
    std::vector<std::string> names;
    int count = 0;
    dlg.setFilename("/home/ana/a.txt");
    dlg.ParseMultiFileName(folder, names, count);
    EXPECT_EQ(folder, "/home/ana");
    EXPECT_EQ(names, (std::vector<std::string>{"a.txt"}));
    EXPECT_EQ(count, 1);

    folder.clear();
    dlg.setFilename("bare.txt");
    dlg.ParseMultiFileName(folder, names, count);
    EXPECT_EQ(folder, "");
    EXPECT_EQ(names, (std::vector<std::string>{"bare.txt"}));

    dlg.setFlags(kOfnAllowMultiSelect);
    ui.fileAnswers.push_back(picked({"/d/x.txt", "/d/y.txt"}));
    dlg.ShowOpen();
    folder.clear();
    names.clear();
    count = 0;
    dlg.ParseMultiFileName(folder, names, count);
    EXPECT_EQ(folder, "/d");
    EXPECT_EQ(names, (std::vector<std::string>{"x.txt", "y.txt"}));
    EXPECT_EQ(count, 2);
}

// Full paths as each system writes them.
#ifdef _WIN32
const std::string kPrivate = "C:\\Users\\ana\\Private";
const std::string kRoot = "C:\\";
#else
const std::string kPrivate = "/home/ana/Private";
const std::string kRoot = "/";
#endif

TEST(cBrowseForFolder, DefaultsFlagsAndCancel) {
    test::ScriptedUi ui;
    cBrowseForFolder b(ui);
    EXPECT_EQ(b.Title(), "Choose Folder");
    b.setFileSystemOnly(true);
    b.setStatusText(true);
    b.setEditBox(true);
    b.setUseNewUI(true);
    EXPECT_EQ(b.flags(), 0x5Du);
#ifdef _WIN32
    b.setInitialDir("C:/opt//quenvor/./bin");
    const std::string full = "C:\\opt\\quenvor\\bin";
#else
    b.setInitialDir("/opt//quenvor/./bin");
    const std::string full = "/opt/quenvor/bin";
#endif
    EXPECT_EQ(b.BrowseForFolder(), "");
    EXPECT_EQ(b.DisplayName(), "");
    EXPECT_EQ(ui.folderRequests.back().title, "Choose Folder");
    EXPECT_EQ(b.InitialDir(), full);  // stored as a full path

    ui.folderAnswers.push_back(kPrivate);
    EXPECT_EQ(b.BrowseForFolder(), kPrivate);
    EXPECT_EQ(b.DisplayName(), "Private");
}

// Anything but a full path would be taken relative to the working folder, often the program's own.
TEST(cBrowseForFolder, OnlyAFullPathIsAChoice) {
    test::ScriptedUi ui;
    cBrowseForFolder b(ui);
    b.setInitialDir("/opt/quenvor");
    for (const char* answer : {"", "   ", "Private", "./Private", "."}) {
        ui.folderAnswers.emplace_back(answer);
        EXPECT_EQ(b.BrowseForFolder(), "") << '"' << answer << '"';
        EXPECT_EQ(b.DisplayName(), "");
    }
    ui.folderAnswers.push_back(kRoot);
    EXPECT_EQ(b.BrowseForFolder(), kRoot);
    EXPECT_EQ(b.DisplayName(), kRoot);
}

TEST(cBrowseForFolder, StatusAndFolderNeedAnOpenDialog) {
    test::ScriptedUi ui;
    cBrowseForFolder b(ui);
    try {
        b.SetStatus("x");
        FAIL() << "no error raised";
    } catch (const platform::RaisedError& e) {
        EXPECT_EQ(e.number(), 26002);
        EXPECT_EQ(e.source(), "quenvor.cBrowseForFolder");
        EXPECT_EQ(e.description(), "Operation invalid unless dialog is displayed.");
    }
    EXPECT_THROW(b.SetFolder("/"), platform::RaisedError);
}

}  // namespace
}  // namespace quenvor::ui
