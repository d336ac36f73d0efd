#include "ui/ListedMessage.h"

#include <utility>

#include "ui/Guarded.h"

namespace quenvor::ui {

ListedMessage::ListedMessage(std::string heading, std::string moreText)
    : m_text(std::move(heading)), m_moreText(std::move(moreText)) {}

void ListedMessage::add(const std::string& line) {
    ++m_count;
    if (m_listed >= kMaxListed) return;
    m_text += "\r\n" + line;
    ++m_listed;
}

void ListedMessage::addAlways(const std::string& line) { m_text += "\r\n" + line; }

std::string ListedMessage::text() const {
    if (m_count <= m_listed) return m_text;
    return m_text + "\r\n" + replaceAll(m_moreText, "%1", std::to_string(m_count - m_listed));
}

}  // namespace quenvor::ui
