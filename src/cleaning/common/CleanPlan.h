#pragma once
// What a run will remove, found before it acts: step by step, each with what it found and the
// action that removes exactly that, so the run carries out what the user was shown and no
// second search decides anew.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/IFileService.h"

#include "cleaning/common/CleanReport.h"

namespace quenvor::cleaning::common {

struct PlannedStep {
    CleanArea area = CleanArea::History;
    std::string browser;  // empty for the system's and the desktop's own traces
    std::string profile;
    std::string what;  // the file, folder, store or key it removes from
    std::uint64_t items = 0;
    std::uint64_t bytes = 0;
    std::vector<std::string> names;  // the items one by one, where they have names of their own
    std::function<void()> act;       // removes what was found; tells the run's report
};

class CleanPlan {
public:
    void add(PlannedStep step) { m_steps.push_back(std::move(step)); }
    std::vector<PlannedStep>& steps() { return m_steps; }
    const std::vector<PlannedStep>& steps() const { return m_steps; }
    void clear() {
        m_steps.clear();
        m_covered.clear();
    }

    // A folder whose listed entries a step of the plan removes already: the browser's own step
    // then takes only the rest of that listing (`rest`) instead of listing the folder again.
    void cover(const std::filesystem::path& folder, std::vector<platform::DirectoryEntry> rest) {
        m_covered[folder] = std::move(rest);
    }
    // The rest of a covered folder, handed out once (later asks get nothing to do); nothing for
    // a folder no step covers.
    std::optional<std::vector<platform::DirectoryEntry>> takeRest(const std::filesystem::path& folder) {
        const auto it = m_covered.find(folder);
        if (it == m_covered.end()) return std::nullopt;
        return std::exchange(it->second, {});
    }

    // Items and bytes per browser, profile and area, in the order they were first planned.
    struct Group {
        std::string browser, profile;
        CleanArea area = CleanArea::History;
        std::uint64_t items = 0, bytes = 0;
    };
    std::vector<Group> groups() const;

private:
    std::vector<PlannedStep> m_steps;
    std::map<std::filesystem::path, std::vector<platform::DirectoryEntry>> m_covered;
};

}  // namespace quenvor::cleaning::common
