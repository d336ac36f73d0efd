#include "window/qt/QtSettingsStore.h"

#include <QSettings>

namespace quenvor::window {
namespace {

QString qs(const std::string& s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

// The native format is the registry on Windows and an INI file named <app>.conf elsewhere.
QSettings::Format format() { return QSettings::NativeFormat; }

}  // namespace

std::string QtSettingsStore::read(const std::string& app, const std::string& section, const std::string& key,
                                  const std::string& fallback) {
    QSettings s(format(), QSettings::UserScope, qs(app), qs(app));
    s.beginGroup(qs(section));
    const QVariant v = s.value(qs(key));
    if (!v.isValid()) return fallback;
    return v.toString().toUtf8().toStdString();
}

platform::Status QtSettingsStore::write(const std::string& app, const std::string& section, const std::string& key,
                                        const std::string& value) {
    QSettings s(format(), QSettings::UserScope, qs(app), qs(app));
    if (!s.isWritable()) return platform::Error{0, s.fileName().toStdString() + " is not writable"};
    s.beginGroup(qs(section));
    s.setValue(qs(key), qs(value));
    s.endGroup();
    // QSettings writes through a temporary file renamed over the old one.
    s.sync();
    if (s.status() != QSettings::NoError) return platform::Error{0, "could not write " + s.fileName().toStdString()};
    return {};
}

}  // namespace quenvor::window
