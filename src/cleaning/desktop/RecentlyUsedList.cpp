#include "cleaning/desktop/RecentlyUsedList.h"

#include "cleaning/desktop/XmlAttribute.h"

namespace quenvor::cleaning::desktop {

const char* const RecentlyUsedList::kEmpty =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<xbel version=\"1.0\"\n"
    "      xmlns:bookmark=\"http://www.freedesktop.org/standards/desktop-bookmarks\"\n"
    "      xmlns:mime=\"http://www.freedesktop.org/standards/shared-mime-info\"\n"
    ">\n"
    "</xbel>\n";

std::optional<std::vector<RecentlyUsedList::Bookmark>> RecentlyUsedList::bookmarks(std::string_view xbel) {
    const auto root = xbel.find("<xbel");
    const auto rootEnd = xbel.rfind("</xbel>");
    if (root == std::string_view::npos || rootEnd == std::string_view::npos || rootEnd < root) return std::nullopt;
    for (std::size_t i = rootEnd + 7; i < xbel.size(); ++i)
        if (!XmlAttribute::isSpace(xbel[i])) return std::nullopt;
    std::vector<Bookmark> out;
    for (std::size_t at = xbel.find("<bookmark", root); at != std::string_view::npos && at < rootEnd;
         at = xbel.find("<bookmark", at + 1)) {
        const std::size_t after = at + 9;
        // "<bookmark:applications>" and the like belong to a bookmark, and are no bookmark.
        if (after >= xbel.size() || (!XmlAttribute::isSpace(xbel[after]) && xbel[after] != '>')) continue;
        const auto tagEnd = xbel.find('>', at);
        if (tagEnd == std::string_view::npos || tagEnd > rootEnd) return std::nullopt;
        std::size_t end = 0;
        if (xbel[tagEnd - 1] == '/') {
            end = tagEnd + 1;
        } else {
            // Bookmarks do not nest.
            const auto close = xbel.find("</bookmark>", tagEnd);
            if (close == std::string_view::npos || close > rootEnd) return std::nullopt;
            const auto next = xbel.find("<bookmark ", tagEnd);
            if (next != std::string_view::npos && next < close) return std::nullopt;
            end = close + 11;
        }
        auto href = XmlAttribute::of(xbel.substr(at, tagEnd - at), "href");
        if (!href) return std::nullopt;
        // A bookmark alone on its lines takes them with it, indentation and all.
        std::size_t begin = at;
        while (begin > 0 && (xbel[begin - 1] == ' ' || xbel[begin - 1] == '\t')) --begin;
        if (begin > 0 && xbel[begin - 1] != '\n')
            begin = at;
        else if (end < xbel.size() && xbel[end] == '\n')
            ++end;
        out.push_back({std::move(*href), begin, end});
        at = end - 1;
    }
    return out;
}

std::optional<std::string> RecentlyUsedList::without(const std::string& xbel, const std::set<std::string>& hrefs,
                                                     std::size_t* removed) {
    if (removed) *removed = 0;
    const auto all = bookmarks(xbel);
    if (!all) return std::nullopt;
    std::string out;
    std::size_t copied = 0, left = 0;
    for (const auto& b : *all) {
        if (!hrefs.contains(b.href)) {
            ++left;
            continue;
        }
        out.append(xbel, copied, b.begin - copied);
        copied = b.end;
        if (removed) ++*removed;
    }
    if (left == 0) return std::string(kEmpty);
    out.append(xbel, copied, std::string::npos);
    return out;
}

}  // namespace quenvor::cleaning::desktop
