#include "support/ShredderRig.h"

#include "platform/NativePlatform.h"
#include "platform/Utf8Path.h"

namespace quenvor::test {

ShredderRig::ShredderRig(platform::IFileService& files, platform::IKnownFolders* folders,
                         platform::IStorageProbe* probe)
    : random(platform::NativePlatform::makeRandomSource()),
      engine(files, random.get()),
      page({view, ui, strings, busy, files, folders, engine, fileDialog, browser, probe}) {
    strings.setLanguage(quenvor::ui::kEnglish);
    for (const char* item : {"Secure (Recommended)", "High (Slower)", "Paranoid (Really slow)"})
        view.addComboItem("cmbSecure", item);
    view.setComboSelectedIndex("cmbSecure", 0);
    // The user is on the shredder page, between runs.
    for (const char* c : {"cmdFile", "cmdFolder", "cmdDelete", "lblStatus"}) view.setVisible(c, true);
    view.setVisible("cmdCancel", false);
}

void ShredderRig::chooseFile(const std::filesystem::path& p) {
    quenvor::ui::FileDialogResult r;
    r.accepted = true;
    r.files = {platform::utf8Of(p)};
    r.filterIndex = 1;
    ui.fileAnswers.push_back(r);
    page.cmdFile_Click();
}

void ShredderRig::chooseFolder(const std::filesystem::path& p) {
    ui.folderAnswers.push_back(platform::utf8Of(p));
    page.cmdFolder_Click();
}

std::string ShredderRig::shredFile(const std::filesystem::path& p) {
    chooseFile(p);
    page.cmdDelete_Click();
    return ui.messages.empty() ? std::string() : lastMessage();
}

std::string ShredderRig::shredFolder(const std::filesystem::path& p) {
    chooseFolder(p);
    page.cmdDelete_Click();
    return ui.messages.empty() ? std::string() : lastMessage();
}

std::vector<std::string> ShredderRig::captionsOf(const std::string& control) const {
    const std::string prefix = "caption " + control + "=";
    std::vector<std::string> out;
    for (const auto& l : view.log)
        if (l.rfind(prefix, 0) == 0) out.push_back(l.substr(prefix.size()));
    return out;
}

}  // namespace quenvor::test
