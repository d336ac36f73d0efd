#pragma once
// The remembered language and cleaning options, and the Settings page's two handlers.
#include <optional>
#include <string>

#include "platform/Result.h"

namespace quenvor::platform {
class ISettingsStore;
}

namespace quenvor::ui {
class IFormView;
class IUiServices;
class StringTable;
}  // namespace quenvor::ui

namespace quenvor::shell {

constexpr const char* kSettingsApp = "QUENVOR";
constexpr const char* kSettingsSection = "SETTINGS";

class SettingsPage {
public:
    SettingsPage(ui::IFormView& view, ui::StringTable& strings, platform::ISettingsStore* store, ui::IUiServices& ui);

    // At start: the language into the string table (unchanged when the stored text is not a
    // number), then the six options into their boxes (unchanged when not 0, 1 or 2).
    void LoadLanguage();
    void LoadOptions();

    void cmbLanguage_Click();
    void cmdSave_Click();

    bool languageChanged() const { return m_bLanguageChanged; }

    // The text, in the user's language, of why the store could not write (an errno value);
    // none when the store's own English words are all there is.
    static std::optional<int> reasonText(int code);

private:
    platform::Status write(const std::string& key, const std::string& value);
    void reportFailure(const platform::Error& error);
    void reportSetAside();

    ui::IFormView& m_view;
    ui::StringTable& m_strings;
    platform::ISettingsStore* m_store;
    ui::IUiServices& m_ui;
    bool m_bLanguageChanged = false;
};

}  // namespace quenvor::shell
