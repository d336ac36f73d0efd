#pragma once
// Where a cleaner's removals go: into a plan while one is open for them, or carried out at once
// when there is none (a cleaner used on its own).
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cleaning/common/CleanPlan.h"

namespace quenvor::cleaning::common {

class PlanSink {
public:
    void attach(CleanPlan* plan) { m_plan = plan; }
    bool planning() const { return m_plan != nullptr; }
    // The browser and profile the next steps belong to.
    void setSource(std::string browser, std::string profile) {
        m_browser = std::move(browser);
        m_profile = std::move(profile);
    }
    void step(CleanArea area, std::string what, std::uint64_t items, std::uint64_t bytes, std::function<void()> act,
              std::vector<std::string> names = {}) {
        if (!m_plan) {
            act();
            return;
        }
        m_plan->add({area, m_browser, m_profile, std::move(what), items, bytes, std::move(names), std::move(act)});
    }

    // See CleanPlan::cover; without a plan the browser's step lists the folder itself.
    void cover(const std::filesystem::path& folder, std::vector<platform::DirectoryEntry> rest) {
        if (m_plan) m_plan->cover(folder, std::move(rest));
    }
    std::optional<std::vector<platform::DirectoryEntry>> takeRest(const std::filesystem::path& folder) {
        return m_plan ? m_plan->takeRest(folder) : std::nullopt;
    }

private:
    CleanPlan* m_plan = nullptr;
    std::string m_browser, m_profile;
};

}  // namespace quenvor::cleaning::common
