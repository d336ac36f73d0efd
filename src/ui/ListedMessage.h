#pragma once
// A message that names the first few items of a long list and then counts the rest, so a
// message box stays readable after a run that left thousands of files behind.
#include <cstddef>
#include <string>

namespace quenvor::ui {

class ListedMessage {
public:
    static constexpr std::size_t kMaxListed = 10;

    // `moreText` holds "%1", replaced by the number of items not named.
    ListedMessage(std::string heading, std::string moreText);

    void add(const std::string& line);
    // Adds a line that is always shown, outside the count (one per running browser, say).
    void addAlways(const std::string& line);
    std::size_t count() const { return m_count; }
    std::string text() const;

private:
    std::string m_text;
    std::string m_moreText;
    std::size_t m_count = 0;
    std::size_t m_listed = 0;
};

}  // namespace quenvor::ui
