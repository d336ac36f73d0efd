#pragma once
// The desktop's list of recently used files (recently-used.xbel): one <bookmark> element per
// file, its address in "href", each with the programs that opened it. Desktop programs read
// and rewrite the list, so it is never left missing or malformed: a list left without any
// bookmark is written as the bare list they write themselves.
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace quenvor::cleaning::desktop {

class RecentlyUsedList {
public:
    static const char* const kEmpty;

    struct Bookmark {
        std::string href;
        std::size_t begin = 0, end = 0;  // the element in the text, the line it ends with included
    };
    // The bookmarks of a list laid out as the desktop writes it; nothing for another file.
    static std::optional<std::vector<Bookmark>> bookmarks(std::string_view xbel);
    // The list without the bookmarks of `hrefs` (the bare list when none is left); nothing when
    // it is not laid out as the desktop writes it. `removed` counts the bookmarks taken out.
    static std::optional<std::string> without(const std::string& xbel, const std::set<std::string>& hrefs,
                                              std::size_t* removed = nullptr);
};

}  // namespace quenvor::cleaning::desktop
