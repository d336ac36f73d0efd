#include "shell/SettingsPage.h"

#include <array>
#include <cerrno>
#include <optional>

#include "platform/ISettingsStore.h"
#include "text/TextIds.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/NumberText.h"
#include "ui/StringTable.h"

namespace quenvor::shell {
namespace {

constexpr std::array<const char*, 6> kDefaults = {"1", "1", "1", "1", "0", "1"};

}  // namespace

// The store words its errors in English; only a reason the string table can give in the
// user's language goes into the message.
std::optional<int> SettingsPage::reasonText(int code) {
    switch (code) {
        case EACCES:
        case EPERM:
        case EROFS:
            return text::SettingsReadOnly;
        case ENOSPC:
#ifdef EDQUOT
        case EDQUOT:
#endif
            return text::SettingsDiskFull;
        default:
            return std::nullopt;
    }
}

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
    for (std::size_t n = 1; n <= kDefaults.size(); ++n) {
        const std::string key = "S" + std::to_string(n);
        const auto value = ui::toInt16(m_store->read(kSettingsApp, kSettingsSection, key, kDefaults[n - 1]));
        if (value && *value >= 0 && *value <= 2) m_view.setCheckValue("chk" + std::to_string(n), *value);
    }
}

platform::Status SettingsPage::write(const std::string& key, const std::string& value) {
    if (!m_store) return platform::Error{0, "no settings store"};
    return m_store->write(kSettingsApp, kSettingsSection, key, value);
}

// Telling the user matters more than the silence of a normal save: otherwise the next start
// would quietly bring back the old choice.
void SettingsPage::reportFailure(const platform::Error& error) {
    std::string said = m_strings.LoadLangString(text::SettingsNotSaved);
    if (const auto reason = reasonText(error.code)) said += "\r\n" + m_strings.LoadLangString(*reason);
    m_ui.messageBox(said, m_strings.LoadLangString(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
}

void SettingsPage::reportSetAside() {
    if (!m_store) return;
    const std::string copy = m_store->takeSetAsideCopy();
    if (copy.empty()) return;
    m_ui.messageBox(m_strings.LoadLangString(text::SettingsSetAside) + "\r\n" + copy,
                    m_strings.LoadLangString(text::AppTitle), ui::MsgButtons::Ok, ui::MsgIcon::Exclamation);
}

void SettingsPage::cmbLanguage_Click() {
    m_bLanguageChanged = true;
    const int index = m_view.comboSelectedIndex("cmbLanguage");
    if (index < 0) return;
    m_strings.setLanguage(m_view.comboItemData("cmbLanguage", index));
    const auto status = write("LANGUAGE", std::to_string(m_strings.language()));
    reportSetAside();
    if (!status.ok()) reportFailure(status.error());
}

void SettingsPage::cmdSave_Click() {
    if (m_bLanguageChanged) {
        m_ui.messageBox(m_strings.LoadLangString(text::RestartForLanguage), m_strings.LoadLangString(text::AppTitle),
                        ui::MsgButtons::Ok, ui::MsgIcon::Information);
    }
    // Every option is tried, so one that cannot be stored does not cost the others; the
    // user hears of a failure once.
    std::optional<platform::Error> failure;
    for (int n = 1; n <= 6; ++n) {
        const int value = m_view.checkValue("chk" + std::to_string(n));
        const auto status = write("S" + std::to_string(n), std::to_string(value));
        if (!status.ok() && !failure) failure = status.error();
    }
    reportSetAside();
    if (failure) reportFailure(*failure);
}

}  // namespace quenvor::shell
