#pragma once
// What a cleaning run could not do, and why. A service that this system does not have and a
// deliberate safety skip (a temporary file still in use) are not failures.
#include <string>
#include <vector>

namespace quenvor::cleaning {

enum class CleanArea { History, Cache, FormData, Cookies, Temp, Recent, TypedUrls };

struct CleanFailure {
    CleanArea area;
    std::string what;    // the file, key or profile concerned
    std::string reason;  // the system's words
    bool browserRunning = false;
};

class CleanReport {
public:
    void fail(CleanArea area, std::string what, std::string reason, bool browserRunning = false) {
        m_failures.push_back({area, std::move(what), std::move(reason), browserRunning});
    }
    const std::vector<CleanFailure>& failures() const { return m_failures; }
    bool clean() const { return m_failures.empty(); }
    void clear() { m_failures.clear(); }

private:
    std::vector<CleanFailure> m_failures;
};

}  // namespace quenvor::cleaning
