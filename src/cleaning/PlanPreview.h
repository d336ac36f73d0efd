#pragma once
// A plan as the user reads it before saying yes: what each browser's profiles and this computer
// would lose, area by area with counts and sizes, then everything one by one.
#include <string>
#include <vector>

#include "cleaning/common/CleanPlan.h"

namespace quenvor::ui {
class StringTable;
}

namespace quenvor::cleaning {

class PlanPreview {
public:
    explicit PlanPreview(ui::StringTable& strings) : m_strings(strings) {}
    std::vector<std::string> lines(const common::CleanPlan& plan);

private:
    ui::StringTable& m_strings;
};

}  // namespace quenvor::cleaning
