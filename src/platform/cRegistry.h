#pragma once
// A stateful view on one registry value: set the hive, key path and value name, then read or
// write Value, or ask for one of the key operations. Failures are raised as RaisedError.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/IRegistry.h"

namespace quenvor::platform {

// Empty, text, 32-bit integer or bytes: what a registry value reads as.
using RegVariant = std::variant<std::monostate, std::string, std::int32_t, std::vector<std::uint8_t>>;

constexpr long kErrRegistry = 26001;
constexpr long kErrRegistrySet = -2147194455L;
constexpr long kErrRegistryEnum = -2147194454L;
constexpr long kErrRegistryParams = -2147194452L;
constexpr long kErrRegistryNoClass = -2147194451L;

class cRegistry {
public:
    using Getenv = std::function<std::optional<std::string>(const std::string&)>;
    explicit cRegistry(IRegistry& registry, Getenv getenv = {});

    const std::string& Machine() const { return m_machine; }
    void setMachine(const std::string& name);
    std::int32_t ClassKey() const { return m_classKey; }
    void setClassKey(std::int32_t hive) { m_classKey = hive; }
    const std::string& SectionKey() const { return m_sectionKey; }
    void setSectionKey(std::string path) { m_sectionKey = std::move(path); }
    const std::string& ValueKey() const { return m_valueKey; }
    void setValueKey(std::string name) { m_valueKey = std::move(name); }
    const RegVariant& Default() const { return m_default; }
    void setDefault(RegVariant v) { m_default = std::move(v); }
    std::int32_t ValueType() const { return m_valueType; }
    void setValueType(std::int32_t t) { m_valueType = t; }

    bool KeyExists();
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();
    RegVariant Value();
    void setValue(const RegVariant& value);
    bool EnumerateValues(std::vector<std::string>& names, std::int32_t& count);
    bool EnumerateSections(std::vector<std::string>& names, std::int32_t& count);
    RegVariant ValueEx(std::int32_t hive, const std::string& path, const std::string& name, std::int32_t type,
                       const RegVariant& fallback);
    void setValueEx(std::int32_t hive, const std::string& path, const std::string& name, std::int32_t type,
                    const RegVariant& fallback, const RegVariant& value);

    struct Verb {
        bool wanted = false;
        std::string text;
    };
    void CreateEXEAssociation(const std::string& exePath, const std::string& className, const std::string& description,
                              const std::string& extension, const std::string& openText, const Verb& print,
                              const Verb& newFile, const Verb& install, std::int32_t iconIndex);
    void CreateAdditionalEXEAssociations(const std::string& className, const std::vector<std::string>& items);

    // The text with each %NAME% that names an environment variable replaced by its value.
    std::string expand(const std::string& text) const;

private:
    RegKey hive() const { return static_cast<RegKey>(static_cast<std::uint32_t>(m_classKey)); }
    std::string hiveText() const { return std::to_string(m_classKey); }
    [[noreturn]] void raise(long number, const std::string& description) const;
    void writeDefault(std::int32_t hive, const std::string& path, const std::string& text);

    IRegistry& m_registry;
    Getenv m_getenv;
    std::string m_machine;
    std::int32_t m_classKey = 0;
    std::string m_sectionKey, m_valueKey;
    RegVariant m_default;
    std::int32_t m_valueType = 0;
};

// How a value shows in an error text.
std::string toText(const RegVariant& v);

}  // namespace quenvor::platform
