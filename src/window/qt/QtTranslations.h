#pragma once
#include <QTranslator>
#include <cstdint>
#include <functional>

namespace quenvor::window {

// Qt's own texts (a question's Yes and No, the file dialog's "Look in:", "File name:", "Open",
// "Cancel") in the program's language. The language is asked at each lookup, so a change on the
// Settings page reaches the next box or dialog without a restart. Qt's Spanish comes from its
// translations folder (qtbase_es.qm, Debian's qt6-translations-l10n); without it they stay English.
class QtTranslations : public QTranslator {
public:
    explicit QtTranslations(std::function<std::int32_t()> language);
    // Whether Qt's Spanish was found.
    bool hasSpanish() const { return m_hasSpanish; }
    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return !m_hasSpanish; }

private:
    std::function<std::int32_t()> m_language;
    QTranslator m_spanish;
    bool m_hasSpanish = false;
};

}  // namespace quenvor::window
