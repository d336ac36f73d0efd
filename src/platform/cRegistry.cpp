#include "platform/cRegistry.h"

#include <cstdlib>

#include "platform/RaisedError.h"

namespace quenvor::platform {
namespace {

struct KeyGuard {
    IRegistry& reg;
    RegKey key = 0;
    // A handle that will not close has nothing left to lose and no one to tell.
    ~KeyGuard() {
        if (key) (void)reg.closeKey(key);
    }
};

std::string trim(const std::string& s) {
    const auto b = s.find_first_not_of(" \t");
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(" \t") - b + 1);
}

}  // namespace

std::string toText(const RegVariant& v) {
    if (auto s = std::get_if<std::string>(&v)) return *s;
    if (auto i = std::get_if<std::int32_t>(&v)) return std::to_string(*i);
    if (auto b = std::get_if<std::vector<std::uint8_t>>(&v)) return std::string(b->begin(), b->end());
    return {};
}

cRegistry::cRegistry(IRegistry& registry, Getenv getenv) : m_registry(registry), m_getenv(std::move(getenv)) {
    if (!m_getenv) {
        m_getenv = [](const std::string& n) -> std::optional<std::string> {
            const char* v = std::getenv(n.c_str());
            return v ? std::optional<std::string>(v) : std::nullopt;
        };
    }
}

void cRegistry::raise(long number, const std::string& description) const {
    throw RaisedError(number, errorSource("cRegistry"), description);
}

void cRegistry::setMachine(const std::string& name) {
    if (name.size() <= 2)
        m_machine.clear();
    else
        m_machine = name.rfind("\\\\", 0) == 0 ? name : "\\\\" + name;
}

bool cRegistry::KeyExists() {
    KeyGuard k{m_registry};
    return m_registry.openKey(hive(), m_sectionKey, k.key) == kErrorSuccess;
}

bool cRegistry::CreateKey() {
    KeyGuard k{m_registry};
    if (m_registry.createKey(hive(), m_sectionKey, k.key) != kErrorSuccess)
        raise(kErrRegistry, "Failed to create registry Key: '" + m_sectionKey);
    return true;
}

bool cRegistry::DeleteKey() {
    if (m_registry.deleteKey(hive(), m_sectionKey) != kErrorSuccess)
        raise(kErrRegistry, "Failed to delete registry Key: '" + hiveText() + "',Section: '" + m_sectionKey);
    return true;
}

bool cRegistry::DeleteValue() {
    KeyGuard k{m_registry};
    if (m_registry.openKey(hive(), m_sectionKey, k.key) != kErrorSuccess)
        raise(kErrRegistry,
              "Failed to open key '" + hiveText() + "',Section: '" + m_sectionKey + "' for delete access");
    if (m_registry.deleteValue(k.key, m_valueKey) != kErrorSuccess)
        raise(kErrRegistry, "Failed to delete registry Key: '" + hiveText() + "',Section: '" + m_sectionKey +
                                "',Key: '" + m_valueKey);
    return true;
}

std::string cRegistry::expand(const std::string& text) const {
    std::string out;
    for (std::size_t i = 0; i < text.size();) {
        if (text[i] == '%') {
            const auto end = text.find('%', i + 1);
            if (end != std::string::npos && end > i + 1) {
                if (auto v = m_getenv(text.substr(i + 1, end - i - 1))) {
                    out += *v;
                    i = end + 1;
                    continue;
                }
            }
        }
        out += text[i++];
    }
    return out;
}

RegVariant cRegistry::Value() {
    KeyGuard k{m_registry};
    // A key that does not open leaves the handle 0, which the query answers as a missing value.
    (void)m_registry.openKey(hive(), m_sectionKey, k.key);
    std::uint32_t type = 0, size = 0;
    std::vector<std::uint8_t> data;
    const long rc = m_registry.queryValue(k.key, m_valueKey, type, data, size);
    if (rc != kErrorSuccess && rc != kErrorMoreData) return m_default;
    m_valueType = static_cast<std::int32_t>(type);
    // The room was just measured; a value that changed or vanished meanwhile is not read as zeros.
    if (size > 0 && m_registry.queryValue(k.key, m_valueKey, type, data, size) != kErrorSuccess) return m_default;
    data.resize(size);
    switch (type) {
        case kRegSz:
        case kRegMultiSz:
        case kRegExpandSz: {
            // A zero-length value (no terminator at all) is simply empty text.
            std::string s(data.begin(), data.end());
            if (!s.empty()) s.pop_back();
            if (type == kRegSz) {
                if (auto nul = s.find('\0'); nul != std::string::npos) s.resize(nul);
            }
            return type == kRegExpandSz ? expand(s) : s;
        }
        case kRegDword:
        case kRegDwordBigEndian: {
            data.resize(4, 0);
            if (type == kRegDwordBigEndian) std::swap(data[0], data[3]), std::swap(data[1], data[2]);
            const std::uint32_t u = std::uint32_t{data[0]} | (std::uint32_t{data[1]} << 8) |
                                    (std::uint32_t{data[2]} << 16) | (std::uint32_t{data[3]} << 24);
            return static_cast<std::int32_t>(u);
        }
        default:
            data.push_back(0);
            return data;
    }
}

void cRegistry::setValue(const RegVariant& value) {
    const std::string failed = "Failed to set registry value Key: '" + hiveText() + "',Section: '" + m_sectionKey +
                               "',Key: '" + m_valueKey + "' to value: '" + toText(value) + "'";
    KeyGuard k{m_registry};
    if (m_registry.createKey(hive(), m_sectionKey, k.key) != kErrorSuccess) raise(kErrRegistry, failed);
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    switch (m_valueType) {
        case kRegSz:
        case kRegExpandSz: {
            const std::string text = toText(value);
            const auto first = text.find('%');
            const bool expandable = first != std::string::npos && text.find('%', first + 2) != std::string::npos;
            type = expandable ? kRegExpandSz : kRegSz;
            data.assign(text.begin(), text.end());
            data.push_back(0);
            break;
        }
        case kRegBinary: {
            auto bytes = std::get_if<std::vector<std::uint8_t>>(&value);
            if (!bytes) raise(kErrRegistry, "");
            type = kRegBinary;
            data = *bytes;
            break;
        }
        case kRegDword:
        case kRegDwordBigEndian: {
            auto n = std::get_if<std::int32_t>(&value);
            if (!n) return;
            const auto u = static_cast<std::uint32_t>(*n);
            type = kRegDword;
            data = {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8), static_cast<std::uint8_t>(u >> 16),
                    static_cast<std::uint8_t>(u >> 24)};
            break;
        }
        default:
            return;
    }
    if (m_registry.setValue(k.key, m_valueKey, type, data) != kErrorSuccess) raise(kErrRegistrySet, failed);
}

bool cRegistry::EnumerateValues(std::vector<std::string>& names, std::int32_t& count) {
    names.clear();
    count = 0;
    KeyGuard k{m_registry};
    if (m_registry.openKey(hive(), m_sectionKey, k.key) != kErrorSuccess) return true;
    std::string name;
    std::uint32_t type = 0;
    for (std::uint32_t i = 0; m_registry.enumValue(k.key, i, name, type) == kErrorSuccess; ++i) {
        names.push_back(name);
        ++count;
    }
    return true;
}

bool cRegistry::EnumerateSections(std::vector<std::string>& names, std::int32_t& count) {
    names.clear();
    count = 0;
    KeyGuard k{m_registry};
    if (m_registry.openKey(hive(), m_sectionKey, k.key) != kErrorSuccess) return true;
    std::string name;
    for (std::uint32_t i = 0; m_registry.enumKey(k.key, i, name) == kErrorSuccess; ++i) {
        names.push_back(name);
        ++count;
    }
    return true;
}

RegVariant cRegistry::ValueEx(std::int32_t hiveKey, const std::string& path, const std::string& name, std::int32_t type,
                              const RegVariant& fallback) {
    m_classKey = hiveKey;
    m_sectionKey = path;
    m_valueKey = name;
    m_valueType = type;
    m_default = fallback;
    return Value();
}

void cRegistry::setValueEx(std::int32_t hiveKey, const std::string& path, const std::string& name, std::int32_t type,
                           const RegVariant& fallback, const RegVariant& value) {
    m_classKey = hiveKey;
    m_sectionKey = path;
    m_valueKey = name;
    m_valueType = type;
    m_default = fallback;
    setValue(value);
}

void cRegistry::writeDefault(std::int32_t hiveKey, const std::string& path, const std::string& text) {
    for (const auto& [h, p] : {std::pair<std::int32_t, std::string>{hiveKey, path},
                               {static_cast<std::int32_t>(kLocalMachine), "SOFTWARE\\Classes\\" + path}}) {
        m_classKey = h;
        m_sectionKey = p;
        m_valueKey.clear();
        m_valueType = kRegSz;
        setValue(text);
    }
}

void cRegistry::CreateEXEAssociation(const std::string& exePath, const std::string& className,
                                     const std::string& description, const std::string& extension,
                                     const std::string& openText, const Verb& print, const Verb& newFile,
                                     const Verb& install, std::int32_t iconIndex) {
    std::string exe = trim(exePath);
    if (exe.empty() || exe.front() != '"') exe = "\"" + exe;
    if (exe.size() < 2 || exe.back() != '"') exe += "\"";
    auto command = [&](const std::string& sw) { return exe + " " + (sw.empty() ? "" : sw + " ") + "\"%1\""; };
    const auto root = static_cast<std::int32_t>(kClassesRoot);
    writeDefault(root, "." + extension, className);
    writeDefault(root, className, description);
    writeDefault(root, className + "\\shell\\open", openText.empty() ? "open" : openText);
    writeDefault(root, className + "\\shell\\open\\command", command(""));
    if (print.wanted) {
        writeDefault(root, className + "\\shell\\print", print.text.empty() ? "print" : print.text);
        writeDefault(root, className + "\\shell\\print\\command", command("/p"));
    }
    if (install.wanted) {
        writeDefault(root, className + "\\shell\\add", install.text.empty() ? "&Install " + extension : install.text);
        writeDefault(root, className + "\\shell\\add\\command", command("/a"));
    }
    if (newFile.wanted) {
        writeDefault(root, className + "\\shell\\new", newFile.text.empty() ? "new" : newFile.text);
        writeDefault(root, className + "\\shell\\new\\command", command("/n"));
    }
    if (iconIndex >= 0) writeDefault(root, className + "\\DefaultIcon", exe + "," + std::to_string(iconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string& className, const std::vector<std::string>& items) {
    if (items.size() % 3 != 0)
        raise(kErrRegistryParams,
              "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
    m_sectionKey = className;
    if (!KeyExists())
        raise(kErrRegistryNoClass, "Error - attempt to create additional associations before class defined.");
    const auto hiveKey = m_classKey;
    for (std::size_t i = 0; i < items.size(); i += 3) {
        writeDefault(hiveKey, className + "\\shell\\" + items[i], items[i + 1]);
        writeDefault(hiveKey, className + "\\shell\\" + items[i] + "\\command", items[i + 2]);
    }
    m_classKey = hiveKey;
}

}  // namespace quenvor::platform
