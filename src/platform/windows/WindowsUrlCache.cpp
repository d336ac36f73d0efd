#include "platform/windows/WindowsUrlCache.h"

#include <windows.h>
#include <wininet.h>

#include "platform/windows/WideText.h"

namespace quenvor::platform::windows {
namespace {

constexpr int kAttempts = 8;

UrlCacheFind toFind(HANDLE h) { return reinterpret_cast<UrlCacheFind>(h); }
HANDLE toHandle(UrlCacheFind f) { return reinterpret_cast<HANDLE>(f); }

void writeStructSize(MemoryBlock& block) {
    const DWORD size = static_cast<DWORD>(block.Size());
    block.WriteTo(&size, sizeof size);
}

}  // namespace

WindowsUrlCache::~WindowsUrlCache() {
    if (m_open) FindCloseUrlCache(toHandle(m_open));
}

std::optional<UrlCacheEntry> WindowsUrlCache::entryInBlock() const {
    INTERNET_CACHE_ENTRY_INFOW header{};
    if (m_block.Size() < sizeof header || !m_block.ReadFrom(&header, sizeof header)) return std::nullopt;
    UrlCacheEntry entry;
    entry.cacheEntryType = header.CacheEntryType;
    // The name lies inside the same block; never read past its end.
    const auto base = m_block.Handle();
    const auto start = reinterpret_cast<std::uintptr_t>(header.lpszSourceUrlName);
    if (start >= base && start < base + m_block.Size()) {
        const auto* p = reinterpret_cast<const wchar_t*>(start);
        const std::size_t room = (base + m_block.Size() - start) / sizeof(wchar_t);
        std::size_t n = 0;
        while (n < room && p[n] != L'\0') ++n;
        entry.sourceUrlName = narrow(std::wstring_view(p, n));
    }
    return entry;
}

std::optional<UrlCacheEntry> WindowsUrlCache::findFirst(UrlCacheFind& find) {
    find = 0;
    DWORD size = 0;
    HANDLE h = FindFirstUrlCacheEntryW(nullptr, nullptr, &size);
    if (h) FindCloseUrlCache(h);  // a cache with an empty first record: start again with room
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (size == 0) return std::nullopt;
        m_block.Allocate(size);
        if (m_block.Size() != size) return std::nullopt;
        writeStructSize(m_block);
        h = FindFirstUrlCacheEntryW(nullptr, reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(m_block.data()), &size);
        if (h) {
            find = m_open = toFind(h);
            return entryInBlock();
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
    }
    return std::nullopt;
}

std::optional<UrlCacheEntry> WindowsUrlCache::findNext(UrlCacheFind find) {
    if (!find) return std::nullopt;
    DWORD size = 0;
    if (FindNextUrlCacheEntryW(toHandle(find), nullptr, &size)) return std::nullopt;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return std::nullopt;
        m_block.Allocate(size);
        if (m_block.Size() != size) return std::nullopt;
        writeStructSize(m_block);
        if (FindNextUrlCacheEntryW(toHandle(find), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOW*>(m_block.data()),
                                   &size))
            return entryInBlock();
    }
    return std::nullopt;
}

void WindowsUrlCache::findClose(UrlCacheFind find) {
    if (!find) return;
    FindCloseUrlCache(toHandle(find));
    if (find == m_open) m_open = 0;
}

Status WindowsUrlCache::deleteEntry(const std::string& sourceUrlName) {
    if (!DeleteUrlCacheEntryW(widen(sourceUrlName).c_str())) return lastError("cannot delete " + sourceUrlName);
    return {};
}

}  // namespace quenvor::platform::windows
