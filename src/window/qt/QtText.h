#pragma once
// Text crosses into Qt as UTF-8 std::string and comes back the same way.
#include <QString>
#include <string>

namespace quenvor::window {

inline QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
inline std::string us(const QString& s) { return s.toUtf8().toStdString(); }

// The texts carry CR LF line breaks; Qt draws the CR as a glyph of its own.
inline QString displayText(const std::string& s) { return qs(s).replace(QStringLiteral("\r\n"), QStringLiteral("\n")); }

}  // namespace quenvor::window
