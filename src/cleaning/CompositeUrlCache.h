#pragma once
// Several browsers' caches walked as one: the entries of each in turn. An entry is deleted from
// the caches that listed it under that name.
#include <map>
#include <string>
#include <vector>

#include "platform/IUrlCache.h"

namespace quenvor::cleaning {

class CompositeUrlCache : public platform::IUrlCache {
public:
    explicit CompositeUrlCache(std::vector<platform::IUrlCache*> parts);
    const std::vector<platform::IUrlCache*>& parts() const { return m_parts; }

    std::optional<platform::UrlCacheEntry> findFirst(platform::UrlCacheFind& find) override;
    std::optional<platform::UrlCacheEntry> findNext(platform::UrlCacheFind find) override;
    void findClose(platform::UrlCacheFind find) override;
    platform::Status deleteEntry(const std::string& sourceUrlName) override;

private:
    struct Walk {
        std::size_t part = 0;
        platform::UrlCacheFind inner = 0;
    };
    // The first entry of parts[from] or a later one, moving the walk along.
    std::optional<platform::UrlCacheEntry> startFrom(Walk& w, std::size_t from);

    std::vector<platform::IUrlCache*> m_parts;
    std::map<platform::UrlCacheFind, Walk> m_walks;
    platform::UrlCacheFind m_next = 1;
};

}  // namespace quenvor::cleaning
