#include "ui/StringTable.h"

#include <cmath>

#include "platform/IStringResource.h"
#include "platform/TextEncoding.h"
#include "ui/IFormView.h"
#include "ui/IUiServices.h"
#include "ui/NumberText.h"

namespace quenvor::ui {
namespace {

std::uint16_t read16(const std::byte* p) {
    return static_cast<std::uint16_t>(std::to_integer<unsigned>(p[0]) | (std::to_integer<unsigned>(p[1]) << 8));
}

}  // namespace

std::string StringTable::walkBlock(const std::byte* data, std::size_t size, int block, std::int32_t id,
                                   bool& malformed) {
    std::size_t offset = 0;
    std::int64_t n = static_cast<std::int64_t>(block - 1) * 16;
    for (int position = 0; position < 16; ++position, ++n) {
        if (offset + 2 > size) {
            malformed = true;
            return {};
        }
        const std::uint16_t length = read16(data + offset);
        if (length == 0) {
            offset += 2;
            continue;
        }
        const std::size_t end = offset + 2 + 2 * static_cast<std::size_t>(length);
        if (end > size) {
            malformed = true;
            return {};
        }
        if (n == id) {
            std::u16string text(length, u'\0');
            for (std::size_t k = 0; k < length; ++k) text[k] = static_cast<char16_t>(read16(data + offset + 2 + 2 * k));
            return platform::utf16ToUtf8(text);
        }
        offset = end;
    }
    return {};
}

std::string StringTable::LoadLangString(std::int32_t id) {
    if (!m_resource) return {};
    const int block = static_cast<int>(std::trunc(static_cast<double>(id) / 16.0 + 1.0));
    auto language = static_cast<std::uint16_t>(m_language & 0xFFFF);
    if (!m_resource->hasLanguage(language)) language = static_cast<std::uint16_t>(kEnglish);
    const auto found = m_resource->findBlock(block, language);
    if (!found || found->empty()) return {};
    bool malformed = false;
    std::string text = walkBlock(found->data(), found->size(), block, id, malformed);
    if (malformed && m_ui) {
        // Reported once per lookup; the caller just gets no text.
        m_ui->messageBox("9:Subscript out of range (string table block " + std::to_string(block) + " is damaged)",
                         kAppTitle, MsgButtons::Ok, MsgIcon::Critical);
    }
    return text;
}

void StringTable::LocalizeCaptions(IFormView& form) {
    for (const auto& name : form.controlNames()) {
        try {
            const auto caption = form.caption(name);
            if (!caption || caption->empty()) continue;
            const auto id = toInt32(*caption);
            if (!id) continue;
            form.setCaption(name, LoadLangString(*id));
        } catch (...) {
            // one control's trouble must not leave the rest untranslated
        }
    }
}

std::string StringTable::ExpandLineBreaks(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += "\r\n";
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace quenvor::ui
