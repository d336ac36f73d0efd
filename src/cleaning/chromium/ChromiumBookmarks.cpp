#include "cleaning/chromium/ChromiumBookmarks.h"

#include <fstream>
#include <iterator>
#include <set>

#include "cleaning/formats/JsonValue.h"

namespace quenvor::cleaning::chromium {

namespace fs = std::filesystem;

namespace {

// The parser bounds its own nesting; this walk is bounded again so that it never depends on that.
constexpr int kMaxDepth = 256;

void collectUrls(const formats::JsonValue& node, std::set<std::string>& urls, int depth) {
    if (depth > kMaxDepth) return;
    if (const formats::JsonValue* url = node.member("url"); url && url->kind() == formats::JsonValue::Kind::String)
        urls.insert(url->text());
    for (const auto& [name, child] : node.members()) collectUrls(child, urls, depth + 1);
    for (const auto& item : node.items()) collectUrls(item, urls, depth + 1);
}

}  // namespace

std::optional<std::vector<std::string>> ChromiumBookmarks::urls(const fs::path& file) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(file, ec))) return std::vector<std::string>{};
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    auto doc = formats::JsonValue::parse(text);
    if (!doc) return std::nullopt;
    std::set<std::string> urls;
    collectUrls(*doc, urls, 0);
    return std::vector<std::string>(urls.begin(), urls.end());
}

}  // namespace quenvor::cleaning::chromium
