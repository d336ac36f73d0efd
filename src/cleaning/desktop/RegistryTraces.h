#pragma once
// What a registry key holds for the user (its values, its subkeys and what lies below them),
// found without changing anything, then removed exactly as it was found: a value or subkey that
// appeared in between is not taken, one that went in between is not counted.
#include <cstdint>
#include <string>
#include <vector>

#include "cleaning/common/CleanReport.h"
#include "platform/IRegistry.h"

namespace quenvor::cleaning::desktop {

class RegistryTraces {
public:
    struct Entry {
        std::string name;  // as the key names it
        std::uint64_t items = 0;
        std::uint64_t bytes = 0;
    };
    struct Found {
        std::string key;  // below the root, as it was asked for
        bool exists = false;
        std::string unreadable;          // why the key would not open; empty when it did
        std::vector<Entry> values;       // the key's own values, one item each
        std::vector<Entry> subkeys;      // each with every value below it
        std::uint64_t items = 0;         // all of the values, those below the subkeys included
        std::uint64_t bytes = 0;         // their data
        std::vector<std::string> names;  // each value for a full list: a recent document by its name
    };

    RegistryTraces(platform::IRegistry& registry, common::CleanReport& report, common::CleanArea area)
        : m_registry(registry), m_report(report), m_area(area) {}

    [[nodiscard]] Found find(platform::RegKey root, const std::string& key);
    // The values and subkeys found; the key itself stays, for its program to write on.
    void removeContents(platform::RegKey root, const Found& found);
    // The key found, with all below it.
    void removeKey(platform::RegKey root, const Found& found);

    static std::string reason(long rc);
    static std::string openReason(long rc);

private:
    void collect(platform::RegKey key, const std::string& path, Found& into, int depth);
    void tally(const Entry& e) { m_report.removed(m_area, e.items, e.bytes); }

    platform::IRegistry& m_registry;
    common::CleanReport& m_report;
    common::CleanArea m_area;
};

}  // namespace quenvor::cleaning::desktop
