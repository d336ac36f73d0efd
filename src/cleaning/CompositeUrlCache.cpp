#include "cleaning/CompositeUrlCache.h"

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/ErrorKinds.h"

namespace quenvor::cleaning {

CompositeUrlCache::CompositeUrlCache(std::vector<platform::IUrlCache*> parts) : m_parts(std::move(parts)) {
    m_parts.erase(std::remove(m_parts.begin(), m_parts.end(), nullptr), m_parts.end());
}

std::optional<platform::UrlCacheEntry> CompositeUrlCache::startFrom(Walk& w, std::size_t from) {
    for (w.part = from; w.part < m_parts.size(); ++w.part) {
        w.inner = 0;
        auto e = m_parts[w.part]->findFirst(w.inner);
        if (e) return e;
        if (w.inner) m_parts[w.part]->findClose(w.inner);
        w.inner = 0;
    }
    return std::nullopt;
}

std::optional<platform::UrlCacheEntry> CompositeUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    Walk w;
    auto e = startFrom(w, 0);
    if (!e) return std::nullopt;
    find = m_next++;
    m_walks[find] = w;
    return e;
}

std::optional<platform::UrlCacheEntry> CompositeUrlCache::findNext(platform::UrlCacheFind find) {
    auto it = m_walks.find(find);
    if (it == m_walks.end()) return std::nullopt;
    Walk& w = it->second;
    if (w.part >= m_parts.size()) return std::nullopt;
    if (w.inner) {
        if (auto e = m_parts[w.part]->findNext(w.inner)) return e;
        m_parts[w.part]->findClose(w.inner);
        w.inner = 0;
    }
    return startFrom(w, w.part + 1);
}

void CompositeUrlCache::findClose(platform::UrlCacheFind find) {
    auto it = m_walks.find(find);
    if (it == m_walks.end()) return;
    if (it->second.part < m_parts.size() && it->second.inner) m_parts[it->second.part]->findClose(it->second.inner);
    m_walks.erase(it);
}

platform::Status CompositeUrlCache::deleteEntry(const std::string& name) {
    // Each part knows the names its own last walk listed: the same address may sit in two
    // browsers' caches, and each removes its own. A part that does not hold the name (the
    // system's cache says so by "not found") is no failure; the first refusal of a part that
    // does is what the caller hears. (Who owns which name is not kept here: a start-up walk of
    // every browser's entries would pay for it per entry, and deletion by name is rare.)
    bool removed = false;
    std::optional<platform::Error> refused, gone;
    for (auto* part : m_parts) {
        auto s = part->deleteEntry(name);
        if (s) {
            removed = true;
        } else if (!platform::isGone(s.error())) {
            if (!refused) refused = s.error();
        } else if (!gone && s.error().message.rfind("no cache entry named", 0) != 0) {
            gone = s.error();  // listed, and already gone
        }
    }
    if (refused) return *refused;
    if (removed) return {};
    if (gone) return *gone;
    return platform::Error{ENOENT, "no cache entry named " + name};
}

}  // namespace quenvor::cleaning
