#pragma once
// What a cleaning run could not do, and why. A service that this system does not have and a
// deliberate safety skip (a temporary file still in use) are not failures.
#include <string>
#include <vector>

namespace quenvor::cleaning::common {

enum class CleanArea { History, Cache, FormData, Cookies, Temp, Recent, TypedUrls };

struct CleanFailure {
    CleanArea area;
    std::string what;    // the file, key or profile concerned
    std::string reason;  // the system's words
    bool browserRunning = false;
    std::string browser;  // the running browser, when it is not Firefox
};

class CleanReport {
public:
    void fail(CleanArea area, std::string what, std::string reason, bool browserRunning = false,
              std::string browser = {}) {
        m_failures.push_back({area, std::move(what), std::move(reason), browserRunning, std::move(browser)});
    }
    // A failure worded whole by the run (a damaged store): a line of its own, before the others.
    void failWhole(std::string message) { m_whole.push_back(std::move(message)); }
    const std::vector<CleanFailure>& failures() const { return m_failures; }
    const std::vector<std::string>& wholeFailures() const { return m_whole; }
    bool clean() const { return m_failures.empty() && m_whole.empty(); }
    void clear() {
        m_failures.clear();
        m_whole.clear();
    }

private:
    std::vector<CleanFailure> m_failures;
    std::vector<std::string> m_whole;
};

}  // namespace quenvor::cleaning::common
