#include "platform/windows/WindowsSettingsStore.h"

#include <windows.h>

#include <vector>

#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {
namespace {

std::wstring keyPath(const std::string& app, const std::string& section) {
    return widen(std::string(WindowsSettingsStore::kParentKey) + "\\" + app + "\\" + section);
}

}  // namespace

std::string WindowsSettingsStore::read(const std::string& app, const std::string& section, const std::string& key,
                                       const std::string& fallback) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyPath(app, section).c_str(), 0, KEY_QUERY_VALUE, &h) != ERROR_SUCCESS)
        return fallback;
    const std::wstring name = widen(key);
    std::vector<wchar_t> buffer(64);
    DWORD type = 0;
    LSTATUS rc = ERROR_MORE_DATA;
    for (int attempt = 0; attempt < 8 && rc == ERROR_MORE_DATA; ++attempt) {
        DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(h, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
        if (rc == ERROR_MORE_DATA) buffer.resize(bytes / sizeof(wchar_t) + 2);
        if (rc == ERROR_SUCCESS) buffer.resize(bytes / sizeof(wchar_t));
    }
    RegCloseKey(h);
    // Only text is a setting; a value of another type left by someone else reads as absent.
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return fallback;
    std::wstring text(buffer.begin(), buffer.end());
    while (!text.empty() && text.back() == L'\0') text.pop_back();
    return narrow(text);
}

Status WindowsSettingsStore::write(const std::string& app, const std::string& section, const std::string& key,
                                   const std::string& value) {
    HKEY h = nullptr;
    LSTATUS rc = RegCreateKeyExW(HKEY_CURRENT_USER, keyPath(app, section).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                 KEY_SET_VALUE, nullptr, &h, nullptr);
    if (rc != ERROR_SUCCESS) return win32Error("cannot create the settings key for " + app + "\\" + section, rc);
    const std::wstring text = widen(value);
    rc = RegSetValueExW(h, widen(key).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return win32Error("cannot store the setting " + key, rc);
    return {};
}

}  // namespace quenvor::platform::windows
