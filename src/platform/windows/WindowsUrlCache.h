#pragma once
// WinINet's URL cache (Temporary Internet Files and cookies), walked entry by entry. Each record
// is fetched into a MemoryBlock of the size WinINet asks for; the block grows when an entry
// has grown between the size query and the fetch.
#include "platform/IUrlCache.h"
#include "platform/MemoryBlock.h"

namespace quenvor::platform::windows {

class WindowsUrlCache : public IUrlCache {
public:
    ~WindowsUrlCache() override;
    std::optional<UrlCacheEntry> findFirst(UrlCacheFind& find) override;
    std::optional<UrlCacheEntry> findNext(UrlCacheFind find) override;
    void findClose(UrlCacheFind find) override;
    Status deleteEntry(const std::string& sourceUrlName) override;

private:
    std::optional<UrlCacheEntry> entryInBlock() const;
    MemoryBlock m_block;
    UrlCacheFind m_open = 0;  // the enumeration this object opened last, closed with it
};

}  // namespace quenvor::platform::windows
