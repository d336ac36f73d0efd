// The wipe of free space through the page, on a folder whose "disk" a fake caps: it fills to
// the cap, removes everything it made, and says what it reached; it refuses to write without
// its record, stops on Abort, and leaves the user's own files alone, also when cleaning up after
// a run that never ended.
#include "shredder/FreeSpaceWipe.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "platform/ErrorKinds.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxFreeSpace.h"
#include "platform/linux/LinuxProcessTable.h"
#include "shredder/FreeSpaceWipeMessages.h"
#include "shredder/PendingFill.h"
#include "support/FakeStorageProbe.h"
#include "support/ShredderRig.h"
#include "support/TempDir.h"
#include "text/TextIds.h"

namespace quenvor::shredder {
namespace {

using test::TempDir;
using ui::MsgAnswer;
namespace fs = std::filesystem;

// The real folder operations over a disk that holds only `cap` bytes of new data.
class CappedSpace : public platform::IFreeSpace {
public:
    std::uint64_t cap = 3u << 20;
    std::uint64_t reserve = 0;  // free only for the administrator
    std::uint64_t written = 0;
    int failWith = 0;  // a write error other than a full disk, after the first megabyte
    platform::NameTable table;

    platform::Result<platform::SpaceFacts> space(platform::IDirectory&) override {
        platform::SpaceFacts f;
        f.available = cap - std::min(cap, written);
        f.free = f.available + reserve;
        f.total = cap + reserve;
        return f;
    }
    platform::Result<platform::NameTable> names(platform::IDirectory&) override { return table; }
    platform::Result<std::unique_ptr<platform::IWritableFile>> createFile(platform::IDirectory& d,
                                                                          const std::string& name) override {
        auto f = m_real.createFile(d, name);
        if (!f) return f.error();
        return std::unique_ptr<platform::IWritableFile>(std::make_unique<File>(*this, std::move(*f)));
    }
    platform::Status makeFolder(platform::IDirectory& p, const std::string& name) override {
        ++folders;
        return m_real.makeFolder(p, name);
    }
    std::uint64_t folders = 0;
    platform::Result<std::uint64_t> discardFree(platform::IDirectory&) override {
        return platform::Error{EPERM, "FITRIM: Operation not permitted"};
    }

private:
    struct File : platform::IWritableFile {
        File(CappedSpace& s, std::unique_ptr<platform::IWritableFile> f) : space(s), real(std::move(f)) {}
        platform::Result<platform::FileStatus> status() override { return real->status(); }
        std::intptr_t nativeHandle() const override { return real->nativeHandle(); }
        platform::Result<std::uint64_t> length() override { return real->length(); }
        platform::Status writeAt(std::uint64_t at, std::span<const std::byte> data) override {
            if (space.failWith && space.written >= (1u << 20)) return platform::Error{space.failWith, "write failed"};
            const std::uint64_t room = space.cap - std::min(space.cap, space.written);
            const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(room, data.size()));
            if (n > 0)
                if (auto s = real->writeAt(at, data.first(n)); !s) return s;
            space.written += n;
            if (n < data.size()) return platform::Error{ENOSPC, "No space left on device"};
            return {};
        }
        platform::Status flushToDevice() override { return real->flushToDevice(); }
        platform::Status truncate(std::uint64_t n) override { return real->truncate(n); }
        platform::Status close() override { return real->close(); }
        CappedSpace& space;
        std::unique_ptr<platform::IWritableFile> real;
    };
    platform::LinuxFreeSpace m_real;
};

struct WipeServices {
    TempDir dir, state;
    platform::LinuxFileService files;
    test::FakeStorageProbe probe;
    CappedSpace space;
    PendingFill record{files, state / "pending-fill"};
};

class Wipe : public ::testing::Test, protected WipeServices, protected test::ShredderRig {
protected:
    Wipe() : ShredderRig(files, nullptr, &probe) {
        FreeSpaceWipe::Options o;
        o.bufferBytes = 256u << 10;
        o.fileBytes = 1u << 20;  // several files
        o.unboundedNames = 20;
        wipe = std::make_unique<FreeSpaceWipe>(FreeSpaceWipe::Services{files, space, *random, &probe, &record, 0}, o);
        page.setFreeSpaceWipe(wipe.get());
        view.setVisible("cmdFile", true);
        TempDir::write(dir / "mine.txt", "the user's own");
    }
    // Chosen and confirmed with `answers` (Yes when none); the final message.
    std::string wipeChosen(const std::vector<MsgAnswer>& answers = {}) {
        ui.folderAnswers.push_back(dir.path().string());
        for (auto a : answers) ui.answers.push_back(a);
        page.cmdWipeFree_Click();
        return ui.messages.empty() ? std::string() : lastMessage();
    }
    // Only the user's own file is left in the folder.
    bool untouchedButForTheFill() {
        return std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()) == 1 &&
               TempDir::read(dir / "mine.txt") == "the user's own";
    }
    std::string en(int id) { return strings.LoadLangString(id); }
    std::unique_ptr<FreeSpaceWipe> wipe;
};

TEST_F(Wipe, FillsToTheEndRemovesItAllAndSaysWhatRemains) {
    space.reserve = 5u << 20;
    probe.drive = {true, true, true};  // flash that takes discards: the question comes
    probe.verdict.outcome = platform::OverwriteOutcome::MayRemain;
    probe.verdict.reason = platform::RemainReason::Journal;
    const std::string said = wipeChosen({MsgAnswer::Yes, MsgAnswer::Yes});
    ASSERT_EQ(ui.messages.size(), 3u);
    EXPECT_EQ(ui.folderRequests.back().title, en(text::WipeFreeChooseFolder));
    EXPECT_NE(ui.messages[0].text.find(en(text::WipeFreeConfirmWarning)), std::string::npos);
    EXPECT_EQ(ui.messages[0].defaultButton, ui::MsgDefault::Second);
    EXPECT_EQ(ui.messages[1].text, en(text::WipeFreeDiscardQuestion));
    EXPECT_EQ(space.written, space.cap);
    EXPECT_TRUE(untouchedButForTheFill());
    EXPECT_FALSE(fs::exists(record.file()));
    for (int id :
         {text::WipeFreeJournal, text::WipeFreeFlash, text::WipeFreeDiscardFailed, text::WipeFreeRemainsHeading})
        EXPECT_NE(said.find(en(id)), std::string::npos) << en(id) << "\n" << said;
    EXPECT_NE(said.find("5.0 MB of free space could not be written"), std::string::npos) << said;
    EXPECT_NE(said.find("3.0 MB"), std::string::npos) << said;
    EXPECT_NE(said.find("20 names"), std::string::npos) << said;
    const auto lines = captionsOf("lblStatus");
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::string& l) { return l.find("Wiping free space: ") == 0; }));
    EXPECT_FALSE(view.isVisible("cmdCancel"));
    EXPECT_TRUE(view.isEnabled("cmdWipeFree"));
    EXPECT_FALSE(busy.any());
}

TEST_F(Wipe, AJournalIsPushedRoundOnceAndThenNotCalledAPlaceOfOldData) {
    space.table = {true, 4096, 0, 40u << 10};  // ten blocks of journal
    probe.verdict.outcome = platform::OverwriteOutcome::MayRemain;
    probe.verdict.reason = platform::RemainReason::Journal;
    const std::string said = wipeChosen();
    EXPECT_GE(space.folders, 1u + 10u) << "the fill's folder, and as many folders as the journal has blocks";
    EXPECT_TRUE(untouchedButForTheFill());
    EXPECT_FALSE(fs::exists(record.file()));
    EXPECT_NE(said.find("44.0 KB of changes went through the filesystem's journal, enough"), std::string::npos) << said;
    EXPECT_EQ(said.find(en(text::WipeFreeJournal)), std::string::npos) << said;
}

TEST_F(Wipe, NoWriteWithoutYesOrWithoutItsRecord) {
    wipeChosen({MsgAnswer::No});
    EXPECT_EQ(space.written, 0u);
    EXPECT_EQ(ui.messages.size(), 1u);

    // The record's folder cannot be made: a file stands in its way.
    TempDir::write(state / "blocked", "x");
    PendingFill blocked{files, state / "blocked" / "pending-fill"};
    FreeSpaceWipe w({files, space, *random, &probe, &blocked, 0});
    page.setFreeSpaceWipe(&w);
    const std::string said = wipeChosen();
    EXPECT_EQ(space.written, 0u);
    EXPECT_EQ(said.rfind(en(text::WipeFreeNotRecorded), 0), 0u) << said;
    EXPECT_TRUE(untouchedButForTheFill());

    // Another process's wipe runs (the console's): its record, which its crash needs, stays.
    const auto id = files.status(dir.path());
    ASSERT_TRUE(id);
    ASSERT_TRUE(record.begin({1, dir.path(), id->identity(), ".quenvor-wipe-x", ".qvabcde"}));
    platform::LinuxProcessTable processes;  // process 1 always runs
    FreeSpaceWipe second({files, space, *random, &probe, &record, 2, &processes});
    page.setFreeSpaceWipe(&second);
    const std::string running = wipeChosen();
    EXPECT_EQ(space.written, 0u);
    EXPECT_EQ(running, "Another wipe of free space is running (process 1). Wait until it ends, then try again.");
    EXPECT_EQ(record.load().record->process, 1);
}

TEST_F(Wipe, AbortAndWriteErrorsStillRemoveTheFill) {
    // Abort from the first progress callback once data is written, as a click handled there
    // would; later callbacks depend on the clock, and a fast disk fills the cap before them.
    ui.onProcessEvents = [this] {
        if (space.written > 0) page.cmdCancel_Click();
    };
    space.cap = 64u << 20;
    const std::string stopped = wipeChosen();
    EXPECT_LT(space.written, space.cap);
    EXPECT_TRUE(untouchedButForTheFill());
    EXPECT_EQ(stopped.find("The wipe of free space was stopped after "), 0u) << stopped;
    EXPECT_EQ(ui.messages.back().icon, ui::MsgIcon::Exclamation);

    ui.onProcessEvents = nullptr;
    space.written = 0;
    space.failWith = EIO;
    const std::string failed = wipeChosen();
    EXPECT_EQ(failed.find(en(text::WipeFreeFailed)), 0u) << failed;
    EXPECT_NE(failed.find("write failed"), std::string::npos) << failed;
    EXPECT_TRUE(untouchedButForTheFill());
    EXPECT_FALSE(fs::exists(record.file()));
}

TEST_F(Wipe, CleanUpTouchesOnlyWhatTheRecordNames) {
    // What a dead run left: its fill folder with a fill file and a stranger, and a name-step file.
    const auto id = files.status(dir.path());
    ASSERT_TRUE(id);
    ASSERT_TRUE(record.begin({0, dir.path(), id->identity(), ".quenvor-wipe-x", ".qvabcde"}));
    TempDir::write(dir / ".quenvor-wipe-x" / "fill-000000", std::string(4096, 'r'));
    TempDir::write(dir / ".qvabcde0-long", "");
    TempDir::write(dir / ".quenvor-wipe-x" / "notes.txt", "someone else's");
    fs::create_directories(dir / ".quenvor-wipe-x" / "fill-j0-0");                   // the journal step's
    TempDir::write(dir / ".quenvor-wipe-x" / "fill-j0-1" / "kept.txt", "not ours");  // one never its own
    auto c = record.cleanUp(nullptr);
    EXPECT_EQ(c.files, 2u);
    EXPECT_EQ(c.bytes, 4096u);
    ASSERT_EQ(c.left.size(), 2u);
    EXPECT_TRUE(fs::exists(dir / ".quenvor-wipe-x" / "notes.txt"));
    EXPECT_TRUE(fs::exists(dir / ".quenvor-wipe-x" / "fill-j0-1" / "kept.txt"));
    EXPECT_FALSE(fs::exists(dir / ".quenvor-wipe-x" / "fill-j0-0"));
    EXPECT_FALSE(c.forgotten) << "kept for the next start while something is left";
    const FreeSpaceWipeMessages say([this](int n) { return en(n); });
    EXPECT_TRUE(say.recovered(c).warn);

    fs::remove(dir / ".quenvor-wipe-x" / "notes.txt");
    fs::remove_all(dir / ".quenvor-wipe-x" / "fill-j0-1");
    c = record.cleanUp(nullptr);
    EXPECT_TRUE(c.left.empty() && c.forgotten);
    EXPECT_TRUE(untouchedButForTheFill());

    // Names that could leave the chosen folder are never trusted.
    for (const char* bad : {"..", "a/b", "."}) {
        PendingFill::Record r{0, dir.path(), id->identity(), bad, ".qvabcde"};
        EXPECT_FALSE(PendingFill::parse(PendingFill::format(r))) << bad;
    }
    PendingFill::Record odd{7, dir.path() / "line\nbreak%", id->identity(), ".quenvor-wipe-y", ".qvzz"};
    EXPECT_EQ(PendingFill::parse(PendingFill::format(odd)), odd);
}

}  // namespace
}  // namespace quenvor::shredder
