#include "shell/SettingsPage.h"

#include <array>

#include "platform/ISettingsStore.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/NumberText.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

constexpr std::array<const char*, 6> kDefaults = {"1", "1", "1", "1", "0", "1"};
constexpr int kSaveFailedText = 180;

}  // namespace

SettingsPage::SettingsPage(ui::IFormView& view, ui::StringTable& strings, platform::ISettingsStore* store,
                           ui::IUiServices& ui)
    : m_view(view), m_strings(strings), m_store(store), m_ui(ui) {}

void SettingsPage::LoadLanguage() {
    if (!m_store) return;
    if (const auto id = ui::toInt32(m_store->read(kSettingsApp, kSettingsSection, "LANGUAGE", "1053")))
        m_strings.setLanguage(*id);
}

void SettingsPage::LoadOptions() {
    if (!m_store) return;
    for (int n = 1; n <= 6; ++n) {
        const std::string key = "S" + std::to_string(n);
        const auto value = ui::toInt16(m_store->read(kSettingsApp, kSettingsSection, key, kDefaults[n - 1]));
        if (value && *value >= 0 && *value <= 2) m_view.setCheckValue("chk" + std::to_string(n), *value);
    }
}

bool SettingsPage::write(const std::string& key, const std::string& value) {
    const auto status = m_store ? m_store->write(kSettingsApp, kSettingsSection, key, value)
                                : platform::Status(platform::Error{0, "no settings store"});
    if (status.ok()) return true;
    // Telling the user matters more than the silence of a normal save: otherwise the next
    // start would quietly bring back the old choice.
    m_ui.messageBox(m_strings.LoadLangString(kSaveFailedText) + "\r\n" + status.error().message,
                    m_strings.LoadLangString(154), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
    return false;
}

void SettingsPage::cmbLanguage_Click() {
    m_bLanguageChanged = true;
    const int index = m_view.comboSelectedIndex("cmbLanguage");
    if (index < 0) return;
    m_strings.setLanguage(m_view.comboItemData("cmbLanguage", index));
    write("LANGUAGE", std::to_string(m_strings.language()));
}

void SettingsPage::cmdSave_Click() {
    if (m_bLanguageChanged) {
        m_ui.messageBox(m_strings.LoadLangString(142), m_strings.LoadLangString(154), ui::MsgButtons::Ok,
                        ui::MsgIcon::Information);
    }
    for (int n = 1; n <= 6; ++n) {
        const int value = m_view.checkValue("chk" + std::to_string(n));
        if (!write("S" + std::to_string(n), std::to_string(value))) return;
    }
}

}  // namespace quenvor::shell
