#include "window/qt/QtSettingsStore.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <cerrno>
#include <optional>
#include <utility>

#include "window/qt/QtText.h"

namespace quenvor::window {
namespace {

// The native format is the registry on Windows and an INI file named <app>.conf elsewhere.
QSettings::Format format() { return QSettings::NativeFormat; }

// QSettings keeps one parsed copy of each file per process, and parses each group only when
// it is first read; a copy under a name of its own, read whole, is parsed afresh.
class FreshCopy {
public:
    explicit FreshCopy(const QString& file) {
        if (!m_dir.isValid() || !QFile::copy(file, m_dir.filePath(QStringLiteral("copy.conf")))) return;
        m_settings.emplace(m_dir.filePath(QStringLiteral("copy.conf")), QSettings::IniFormat);
    }
    bool damaged() const {
        if (!m_settings) return false;
        (void)m_settings->allKeys();
        return m_settings->status() == QSettings::FormatError;
    }
    QVariant value(const QString& key) const { return m_settings ? m_settings->value(key) : QVariant(); }

private:
    QTemporaryDir m_dir;
    std::optional<QSettings> m_settings;
};

QString setAsideName(const QString& file) {
    const QString base =
        file + QStringLiteral(".damaged-") + QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString name = base;
    for (int n = 2; QFileInfo::exists(name); ++n) name = base + QLatin1Char('-') + QString::number(n);
    return name;
}

}  // namespace

std::string QtSettingsStore::read(const std::string& app, const std::string& section, const std::string& key,
                                  const std::string& fallback) {
    QSettings s(format(), QSettings::UserScope, qs(app), qs(app));
    s.beginGroup(qs(section));
    const QVariant v = s.value(qs(key));
    if (!v.isValid()) return fallback;
    return us(v.toString());
}

platform::Status QtSettingsStore::write(const std::string& app, const std::string& section, const std::string& key,
                                        const std::string& value) {
    QSettings s(format(), QSettings::UserScope, qs(app), qs(app));
    const QString file = s.fileName();
    if (!s.isWritable()) return platform::Error{EACCES, us(file) + " is not writable"};
    // A stray quote can hide every value after it, and the write would drop them for good.
    if (QFileInfo(file).size() > 0 && FreshCopy(file).damaged()) {
        const QString copy = setAsideName(file);
        if (!QFile::copy(file, copy)) return platform::Error{EACCES, "could not keep a copy of " + us(file)};
        m_setAside = us(copy);
    }
    const QString path = qs(section) + QLatin1Char('/') + qs(key);
    s.setValue(path, qs(value));
    // QSettings writes through a temporary file renamed over the old one.
    s.sync();
    if (s.status() == QSettings::NoError) return {};
    // After a format error QSettings reports nothing more, not even a failed write: the file
    // itself says whether the value arrived.
    if (const QVariant stored = FreshCopy(file).value(path); stored.isValid() && stored.toString() == qs(value))
        return {};
    return platform::Error{EIO, "could not write " + us(file)};
}

std::string QtSettingsStore::takeSetAsideCopy() { return std::exchange(m_setAside, {}); }

}  // namespace quenvor::window
