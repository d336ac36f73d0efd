#include "window/qt/QtTranslations.h"

#include <QLibraryInfo>
#include <utility>

#include "ui/StringTable.h"

namespace quenvor::window {

QtTranslations::QtTranslations(std::function<std::int32_t()> language) : m_language(std::move(language)) {
    m_hasSpanish = m_spanish.load(QStringLiteral("qtbase_es"), QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}

QString QtTranslations::translate(const char* context, const char* sourceText, const char* disambiguation,
                                  int n) const {
    if (!m_hasSpanish || !m_language || m_language() != ui::kSpanish) return {};
    return m_spanish.translate(context, sourceText, disambiguation, n);
}

}  // namespace quenvor::window
