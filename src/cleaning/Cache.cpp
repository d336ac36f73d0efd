#include "cleaning/Cache.h"

namespace quenvor::cleaning {

bool Cache::GetFirstCacheEntry() {
    CloseCacheEnum();
    m_current = m_cache.findFirst(m_find);
    return m_find != 0 && m_current.has_value();
}

bool Cache::GetNextCacheEntry() {
    if (!m_find) return false;
    auto next = m_cache.findNext(m_find);
    if (!next) return false;
    m_current = std::move(next);
    return true;
}

void Cache::CloseCacheEnum() {
    if (!m_find) return;
    m_cache.findClose(m_find);
    m_find = 0;
}

}  // namespace quenvor::cleaning
