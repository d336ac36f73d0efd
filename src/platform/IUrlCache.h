#pragma once
// The browser's cache of visited addresses and cookies, walked entry by entry.
#include <cstdint>
#include <optional>
#include <string>

#include "platform/Result.h"

namespace quenvor::platform {

constexpr std::uint32_t kNormalCacheEntry = 0x00000001;
constexpr std::uint32_t kCookieCacheEntry = 0x00100000;
constexpr std::uint32_t kUrlHistoryCacheEntry = 0x00200000;

struct UrlCacheEntry {
    std::string sourceUrlName;
    std::uint32_t cacheEntryType = 0;
};

using UrlCacheFind = std::uintptr_t;  // 0: no enumeration

class IUrlCache {
public:
    virtual ~IUrlCache() = default;
    // First entry of a new enumeration; `find` stays 0 when there is none.
    virtual std::optional<UrlCacheEntry> findFirst(UrlCacheFind& find) = 0;
    virtual std::optional<UrlCacheEntry> findNext(UrlCacheFind find) = 0;
    virtual void findClose(UrlCacheFind find) = 0;
    virtual Status deleteEntry(const std::string& sourceUrlName) = 0;
};

}  // namespace quenvor::platform
