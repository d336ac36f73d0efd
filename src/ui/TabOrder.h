#pragma once
// The window-wide keyboard order. Giving a control a position moves it there and shifts
// every control between its old and its new place by one, so a sequence of assignments
// yields the same order on every platform.
#include <string>
#include <vector>

namespace quenvor::ui {

class TabOrder {
public:
    explicit TabOrder(std::vector<std::string> initial);
    void setTabIndex(const std::string& name, int position);  // clamped to the last place
    int tabIndex(const std::string& name) const;              // -1 when unknown
    const std::vector<std::string>& order() const { return m_order; }

private:
    std::vector<std::string> m_order;
};

}  // namespace quenvor::ui
