#include "cleaning/CompositeUrlCache.h"

#include <algorithm>
#include <cerrno>

namespace quenvor::cleaning {

CompositeUrlCache::CompositeUrlCache(std::vector<platform::IUrlCache*> parts) : m_parts(std::move(parts)) {
    m_parts.erase(std::remove(m_parts.begin(), m_parts.end(), nullptr), m_parts.end());
}

void CompositeUrlCache::remember(std::size_t part, const std::optional<platform::UrlCacheEntry>& e) {
    if (!e) return;
    // A walk goes through the parts in order, so a part already listed is the last one.
    auto& parts = m_owners[e->sourceUrlName];
    if (parts.empty() || parts.back() != part) parts.push_back(part);
}

std::optional<platform::UrlCacheEntry> CompositeUrlCache::startFrom(Walk& w, std::size_t from) {
    for (w.part = from; w.part < m_parts.size(); ++w.part) {
        w.inner = 0;
        auto e = m_parts[w.part]->findFirst(w.inner);
        if (e) {
            remember(w.part, e);
            return e;
        }
        if (w.inner) m_parts[w.part]->findClose(w.inner);
        w.inner = 0;
    }
    return std::nullopt;
}

std::optional<platform::UrlCacheEntry> CompositeUrlCache::findFirst(platform::UrlCacheFind& find) {
    find = 0;
    m_owners.clear();
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
        if (auto e = m_parts[w.part]->findNext(w.inner)) {
            remember(w.part, e);
            return e;
        }
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
    auto owners = m_owners.find(name);
    if (owners == m_owners.end()) {
        // Not listed yet: every part is asked, and only those that know the name matter.
        bool found = false;
        for (auto* part : m_parts) {
            auto s = part->deleteEntry(name);
            if (s) {
                found = true;
            } else if (s.error().code != ENOENT || s.error().message.rfind("no cache entry named", 0) != 0) {
                return s;
            }
        }
        if (!found) return platform::Error{ENOENT, "no cache entry named " + name};
        return {};
    }
    // The same address may sit in two browsers' caches: each removes its own, and the first
    // refusal is what the caller hears.
    platform::Status first;
    for (const std::size_t part : owners->second)
        if (auto s = m_parts[part]->deleteEntry(name); !s && first) first = s;
    return first;
}

}  // namespace quenvor::cleaning
