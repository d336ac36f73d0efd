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
    // Valid until the next move of the enumeration.
    const std::string& GetCacheEntryUrl() const { return m_current ? m_current->sourceUrlName : kNone; }
    // The name moved out of the enumeration, for a caller that keeps it (a list of every entry).
    std::string TakeCacheEntryUrl() { return m_current ? std::move(m_current->sourceUrlName) : std::string(); }
    std::uint32_t GetCacheEntryType() const { return m_current ? m_current->cacheEntryType : 0; }
    platform::Status DeleteCacheEntry(const std::string& url) { return m_cache.deleteEntry(url); }
    void CloseCacheEnum();

private:
    static inline const std::string kNone;
    platform::IUrlCache& m_cache;
    platform::UrlCacheFind m_find = 0;
    std::optional<platform::UrlCacheEntry> m_current;
};

}  // namespace quenvor::cleaning
