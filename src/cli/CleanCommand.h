#pragma once
// "quenvor-cli clean": the window's "Erase my tracks" run without the window. The options and
// the sites kept are the ones the window saved (or those of --only); the plan is the one the
// window's preview shows; the run carries out exactly that plan; the report names what went,
// what was kept and what was left, and why.
#include <iosfwd>
#include <set>
#include <string>
#include <vector>

#include "cleaning/common/CleanPlan.h"
#include "platform/PlatformServices.h"

namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cli {

struct CommandLine;
class JsonOut;

class CleanCommand {
public:
    CleanCommand(platform::PlatformServices& services, ui::StringTable& strings)
        : m_services(services), m_strings(strings) {}
    // The exit code.
    int run(const CommandLine& cl, std::ostream& out);

    // The report's name of an area.
    static const char* areaName(cleaning::common::CleanArea area);

private:
    // A plan step without its action, as the report tells it.
    struct Step {
        cleaning::common::CleanArea area;
        std::string browser, profile, what;
        std::uint64_t items = 0, bytes = 0;
        std::vector<std::string> names;
    };
    std::string leftLine(const cleaning::common::CleanFailure& f);
    // What the step did not take: the names page one still lists after the run, or for a step
    // without names, whether the run says it failed.
    static bool listStep(const Step& s);
    static std::vector<std::string> namesLeft(const Step& s, const std::set<std::string>& listed);
    static bool stepLeft(const Step& s, const cleaning::common::CleanReport& report);
    static void writeStep(JsonOut& json, const Step& s);

    platform::PlatformServices& m_services;
    ui::StringTable& m_strings;
    std::vector<Step> m_plan;
};

}  // namespace quenvor::cli
