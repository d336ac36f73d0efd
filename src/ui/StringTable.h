#pragma once
// The program's texts in the current language, read from the string table blocks.
#include <cstdint>
#include <string>

namespace quenvor::platform {
class IStringResource;
}

namespace quenvor::ui {

class IFormView;
class IUiServices;

constexpr std::int32_t kEnglish = 1053;
constexpr std::int32_t kSpanish = 1034;
constexpr const char* kAppTitle = "Quenvor";

class StringTable {
public:
    StringTable(platform::IStringResource* resource, IUiServices* ui) : m_resource(resource), m_ui(ui) {}

    // The program-wide language id every lookup uses.
    std::int32_t language() const { return m_language; }
    void setLanguage(std::int32_t id) { m_language = id; }

    // The entry's text, or "" when the language has no such entry. A language the table
    // does not carry at all is read in English so the window never goes blank.
    std::string LoadLangString(std::int32_t id);
    // Replaces every numeric caption of the form by the text with that id.
    void LocalizeCaptions(IFormView& form);
    // Turns each two-character "\n" into a line break (CR LF) for display.
    static std::string ExpandLineBreaks(const std::string& text);

private:
    std::string walkBlock(const std::byte* data, std::size_t size, int block, std::int32_t id, bool& malformed);

    platform::IStringResource* m_resource;
    IUiServices* m_ui;
    std::int32_t m_language = 0;
};

}  // namespace quenvor::ui
