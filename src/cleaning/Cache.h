#pragma once
// One enumeration at a time over the URL cache, entry by entry, and deletion by name.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/IUrlCache.h"

namespace quenvor::cleaning {

class Cache {
public:
    explicit Cache(platform::IUrlCache& cache) : m_cache(cache) {}
    ~Cache() { CloseCacheEnum(); }

    bool GetFirstCacheEntry();
    bool GetNextCacheEntry();
    std::string GetCacheEntryUrl() const { return m_current ? m_current->sourceUrlName : std::string(); }
    std::uint32_t GetCacheEntryType() const { return m_current ? m_current->cacheEntryType : 0; }
    platform::Status DeleteCacheEntry(const std::string& url) { return m_cache.deleteEntry(url); }
    void CloseCacheEnum();

private:
    platform::IUrlCache& m_cache;
    platform::UrlCacheFind m_find = 0;
    std::optional<platform::UrlCacheEntry> m_current;
};

}  // namespace quenvor::cleaning
