#include "cleaning/common/CleanPlan.h"

#include <map>
#include <tuple>

namespace quenvor::cleaning::common {

std::vector<CleanPlan::Group> CleanPlan::groups() const {
    std::vector<Group> out;
    std::map<std::tuple<std::string, std::string, CleanArea>, std::size_t> at;
    for (const auto& s : m_steps) {
        if (s.items == 0) continue;
        const auto [it, fresh] = at.try_emplace({s.browser, s.profile, s.area}, out.size());
        if (fresh) out.push_back({s.browser, s.profile, s.area});
        out[it->second].items += s.items;
        out[it->second].bytes += s.bytes;
    }
    return out;
}

}  // namespace quenvor::cleaning::common
