#include "cleaning/PlanPreview.h"

#include <algorithm>
#include <utility>

#include "cleaning/RunAccount.h"
#include "text/TextIds.h"
#include "ui/Guarded.h"
#include "ui/StringTable.h"

namespace quenvor::cleaning {

std::vector<std::string> PlanPreview::lines(const common::CleanPlan& plan) {
    auto load = [&](int id) { return m_strings.LoadLangString(id); };
    RunAccount account(m_strings);
    std::vector<std::string> out;
    // Each browser's profile, and the system, under one heading, in the order they first come.
    auto groups = plan.groups();
    if (groups.empty()) return {load(text::PreviewNothing)};
    std::vector<std::pair<std::string, std::string>> sources;
    for (const auto& g : groups)
        if (std::find(sources.begin(), sources.end(), std::pair{g.browser, g.profile}) == sources.end())
            sources.emplace_back(g.browser, g.profile);
    std::stable_sort(groups.begin(), groups.end(), [&](const auto& a, const auto& b) {
        return std::find(sources.begin(), sources.end(), std::pair{a.browser, a.profile}) <
               std::find(sources.begin(), sources.end(), std::pair{b.browser, b.profile});
    });
    const common::CleanPlan::Group* last = nullptr;
    for (const auto& g : groups) {
        if (!last || last->browser != g.browser || last->profile != g.profile) {
            if (last) out.emplace_back();
            out.push_back(g.browser.empty() && g.profile.empty()
                              ? load(text::PreviewSystem)
                              : ui::replaceAll(ui::replaceAll(load(text::PreviewProfile), "%2", g.profile), "%1",
                                               g.browser.empty() ? load(text::PreviewSystem) : g.browser));
        }
        last = &g;
        std::string line = load(g.bytes ? text::AccountItemsAndSize : text::AccountItems);
        line = ui::replaceAll(line, "%3", account.size(g.bytes));
        line = ui::replaceAll(line, "%2", account.count(g.items));
        out.push_back("    " + ui::replaceAll(line, "%1", load(RunAccount::areaText(g.area))));
    }
    out.emplace_back();
    out.push_back(load(text::PreviewOneByOne));
    for (const auto& s : plan.steps()) {
        if (!s.names.empty()) {
            for (const auto& n : s.names) out.push_back(n);
        } else if (s.items > 1) {
            out.push_back(ui::replaceAll(ui::replaceAll(load(text::PreviewStoreItems), "%2", account.count(s.items)),
                                         "%1", s.what));
        } else if (s.items == 1) {
            out.push_back(s.what);
        }
    }
    return out;
}

}  // namespace quenvor::cleaning
