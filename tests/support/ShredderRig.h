#pragma once
// The File Shredder page with all it needs around it but the services under test: the string
// table in English, the form with the page shown and its three levels, a dialog for every
// answer, and what the user does with it (choose, confirm, read the final message).
// A fixture that owns the file service puts it in a base class listed before this one, so it
// is made first and outlives the page.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/EmbeddedStringResource.h"
#include "platform/IRandomSource.h"
#include "shredder/ShredderPage.h"
#include "shredder/cPattern.h"
#include "support/FakeFormView.h"
#include "support/ScriptedUi.h"
#include "ui/BusyState.h"
#include "ui/StringTable.h"
#include "ui/dialogs/cBrowseForFolder.h"
#include "ui/dialogs/cCommonDialog.h"

namespace quenvor::test {

class ShredderRig {
public:
    // `folders` and `probe` may be null, as for the page itself.
    ShredderRig(platform::IFileService& files, platform::IKnownFolders* folders, platform::IStorageProbe* probe);
    ShredderRig(const ShredderRig&) = delete;
    ShredderRig& operator=(const ShredderRig&) = delete;

    // Chosen through the page's dialogs, as the user would.
    void chooseFile(const std::filesystem::path& p);
    void chooseFolder(const std::filesystem::path& p);
    // Chosen and shredded with every question answered as queued (Yes when none is); the last
    // message shown, empty when there was none.
    std::string shredFile(const std::filesystem::path& p);
    std::string shredFolder(const std::filesystem::path& p);

    // Every caption `control` was given, in order.
    std::vector<std::string> captionsOf(const std::string& control) const;
    const std::string& lastMessage() const { return ui.messages.back().text; }
    static bool said(const std::string& m, const std::string& part) { return m.find(part) != std::string::npos; }

    std::unique_ptr<platform::IRandomSource> random;
    platform::EmbeddedStringResource res;
    ScriptedUi ui;
    quenvor::ui::StringTable strings{&res, &ui};
    FakeFormView view;
    quenvor::ui::BusyState busy;
    shredder::cPattern engine;
    quenvor::ui::cCommonDialog fileDialog{ui};
    quenvor::ui::cBrowseForFolder browser{ui};
    shredder::ShredderPage page;
};

}  // namespace quenvor::test
