#include "ui/TabOrder.h"

#include <algorithm>

namespace quenvor::ui {

TabOrder::TabOrder(std::vector<std::string> initial) : m_order(std::move(initial)) {}

void TabOrder::setTabIndex(const std::string& name, int position) {
    auto it = std::find(m_order.begin(), m_order.end(), name);
    if (it == m_order.end()) return;
    m_order.erase(it);
    const auto pos = std::clamp<std::ptrdiff_t>(position, 0, static_cast<std::ptrdiff_t>(m_order.size()));
    m_order.insert(m_order.begin() + pos, name);
}

int TabOrder::tabIndex(const std::string& name) const {
    auto it = std::find(m_order.begin(), m_order.end(), name);
    return it == m_order.end() ? -1 : static_cast<int>(it - m_order.begin());
}

}  // namespace quenvor::ui
