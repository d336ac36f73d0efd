#include "cli/ConsoleView.h"

namespace quenvor::cli {

std::vector<std::string> ConsoleView::controlNames() {
    std::vector<std::string> names;
    for (const auto& [name, control] : m_controls) names.push_back(name);
    return names;
}

std::optional<std::string> ConsoleView::caption(const std::string& name) { return at(name).caption; }

std::string ConsoleView::listItem(const std::string& name, int index) {
    const auto& items = at(name).items;
    return index >= 0 && static_cast<std::size_t>(index) < items.size() ? items[static_cast<std::size_t>(index)] : "";
}

void ConsoleView::setListItemText(const std::string& name, int index, const std::string& text) {
    auto& items = at(name).items;
    if (index >= 0 && static_cast<std::size_t>(index) < items.size()) items[static_cast<std::size_t>(index)] = text;
}

std::int32_t ConsoleView::comboItemData(const std::string& name, int index) {
    const auto& data = at(name).data;
    const auto it = data.find(index);
    return it == data.end() ? 0 : it->second;
}

}  // namespace quenvor::cli
