#include "platform/windows/WindowsRegistry.h"

#include <windows.h>

#include <cstring>

#include "platform/RegistryKey.h"
#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {
namespace {

// Our root numbers are the low 32 bits of the predefined keys; on 64-bit Windows the handles
// themselves are those numbers sign-extended.
bool isRoot(RegKey key) {
    return key == kClassesRoot || key == kCurrentUser || key == kLocalMachine || key == kUsers || key == kCurrentConfig;
}

HKEY toHandle(RegKey key) {
    if (isRoot(key))
        return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(static_cast<LONG>(key))));
    return reinterpret_cast<HKEY>(key);
}

RegKey fromHandle(HKEY h) { return reinterpret_cast<RegKey>(h); }

bool isText(std::uint32_t type) { return type == kRegSz || type == kRegExpandSz || type == kRegMultiSz; }

std::vector<std::uint8_t> textToUtf8(const std::vector<std::uint8_t>& raw, std::uint32_t type) {
    std::wstring wide(raw.size() / 2, L'\0');
    std::memcpy(wide.data(), raw.data(), wide.size() * 2);
    // The registry does not insist on the terminator; every reader of ours expects one.
    if (wide.empty() || wide.back() != L'\0') wide.push_back(L'\0');
    if (type == kRegMultiSz && (wide.size() < 2 || wide[wide.size() - 2] != L'\0')) wide.push_back(L'\0');
    const std::string utf8 = narrow(wide);
    return std::vector<std::uint8_t>(utf8.begin(), utf8.end());
}

std::vector<std::uint8_t> textToWide(const std::vector<std::uint8_t>& utf8) {
    const std::wstring wide = widen(std::string_view(reinterpret_cast<const char*>(utf8.data()), utf8.size()));
    std::vector<std::uint8_t> raw(wide.size() * 2);
    std::memcpy(raw.data(), wide.data(), raw.size());
    return raw;
}

constexpr REGSAM kReadWrite = KEY_READ | KEY_WRITE;

}  // namespace

long WindowsRegistry::openKey(RegKey parent, const std::string& subKey, RegKey& opened) {
    HKEY h = nullptr;
    const std::wstring sub = widen(subKey);
    LSTATUS rc = RegOpenKeyExW(toHandle(parent), sub.c_str(), 0, kReadWrite, &h);
    // A key we may only read (a machine-wide one, for a user) is still worth reading.
    if (rc == ERROR_ACCESS_DENIED) rc = RegOpenKeyExW(toHandle(parent), sub.c_str(), 0, KEY_READ, &h);
    if (rc == ERROR_SUCCESS) opened = fromHandle(h);
    return rc;
}

long WindowsRegistry::createKey(RegKey parent, const std::string& subKey, RegKey& opened, bool* existed) {
    HKEY h = nullptr;
    DWORD disposition = 0;
    const LSTATUS rc = RegCreateKeyExW(toHandle(parent), widen(subKey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                       kReadWrite, nullptr, &h, &disposition);
    if (rc == ERROR_SUCCESS) {
        opened = fromHandle(h);
        if (existed) *existed = disposition == REG_OPENED_EXISTING_KEY;
    }
    return rc;
}

long WindowsRegistry::closeKey(RegKey key) {
    if (isRoot(key)) return ERROR_SUCCESS;
    if (key == 0) return ERROR_INVALID_HANDLE;
    return RegCloseKey(toHandle(key));
}

long WindowsRegistry::queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                                 std::vector<std::uint8_t>& data, std::uint32_t& size) {
    const std::wstring wname = widen(name);
    std::vector<std::uint8_t> raw(256);
    DWORD t = 0;
    LSTATUS rc = ERROR_MORE_DATA;
    // The value may grow between the calls; ask again until it fits.
    for (int attempt = 0; attempt < 8 && rc == ERROR_MORE_DATA; ++attempt) {
        DWORD n = static_cast<DWORD>(raw.size());
        rc = RegQueryValueExW(toHandle(key), wname.c_str(), nullptr, &t, raw.data(), &n);
        if (rc == ERROR_MORE_DATA)
            raw.resize(n > raw.size() ? n : raw.size() * 2);
        else if (rc == ERROR_SUCCESS)
            raw.resize(n);
    }
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<std::uint8_t> value = isText(t) ? textToUtf8(raw, t) : raw;
    type = t;
    const auto needed = static_cast<std::uint32_t>(value.size());
    if (size < needed) {
        size = needed;
        return ERROR_MORE_DATA;
    }
    size = needed;
    data = std::move(value);
    return ERROR_SUCCESS;
}

long WindowsRegistry::setValue(RegKey key, const std::string& name, std::uint32_t type,
                               const std::vector<std::uint8_t>& data) {
    const std::vector<std::uint8_t> raw = isText(type) ? textToWide(data) : data;
    return RegSetValueExW(toHandle(key), widen(name).c_str(), 0, type, raw.empty() ? nullptr : raw.data(),
                          static_cast<DWORD>(raw.size()));
}

long WindowsRegistry::deleteKey(RegKey parent, const std::string& subKey) {
    return RegDeleteKeyW(toHandle(parent), widen(subKey).c_str());
}

long WindowsRegistry::deleteTree(RegKey parent, const std::string& subKey) {
    // Without a name the system would empty the parent itself.
    if (splitKeyPath(subKey).empty()) return ERROR_ACCESS_DENIED;
    // Emptied through a handle of its own with the rights that takes, whatever the parent's
    // handle was opened for; then the key itself, as the plain deletion does.
    const std::wstring sub = widen(subKey);
    HKEY h = nullptr;
    LSTATUS rc = RegOpenKeyExW(toHandle(parent), sub.c_str(), 0,
                               DELETE | KEY_ENUMERATE_SUB_KEYS | KEY_QUERY_VALUE | KEY_SET_VALUE, &h);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegDeleteTreeW(h, nullptr);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return rc;
    return RegDeleteKeyW(toHandle(parent), sub.c_str());
}

long WindowsRegistry::deleteValue(RegKey key, const std::string& name) {
    return RegDeleteValueW(toHandle(key), widen(name).c_str());
}

long WindowsRegistry::enumKey(RegKey key, std::uint32_t index, std::string& name) {
    wchar_t buffer[256];  // a key name has at most 255 characters
    DWORD n = 256;
    const LSTATUS rc = RegEnumKeyExW(toHandle(key), index, buffer, &n, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) name = narrow(std::wstring_view(buffer, n));
    return rc;
}

long WindowsRegistry::enumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type) {
    std::wstring buffer(16384, L'\0');  // a value name has at most 16383 characters
    DWORD n = static_cast<DWORD>(buffer.size());
    DWORD t = 0;
    const LSTATUS rc = RegEnumValueW(toHandle(key), index, buffer.data(), &n, nullptr, &t, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) {
        name = narrow(std::wstring_view(buffer.data(), n));
        type = t;
    }
    return rc;
}

}  // namespace quenvor::platform::windows
