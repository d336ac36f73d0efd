#include "cleaning/firefox/CacheEntryKey.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "cleaning/formats/EntryFile.h"

namespace quenvor::cleaning::firefox {
namespace {

constexpr std::uint64_t kChunkSize = 256ULL * 1024;
constexpr std::uint32_t kMaxKey = 64 * 1024;
constexpr std::uint64_t kTailRead = 4096;

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Where the metadata header of an entry starts: after the data, the metadata's hash and one
// two-byte hash per chunk of data. Nothing when that does not fit the file.
std::optional<std::uint64_t> headerAt(std::uint64_t fileSize, std::uint32_t metaOffset) {
    if (fileSize < 4 || metaOffset > fileSize - 4) return std::nullopt;
    const std::uint64_t chunks = (metaOffset + kChunkSize - 1) / kChunkSize;
    const std::uint64_t at = std::uint64_t{metaOffset} + 4 + 2 * chunks;
    if (at + 28 > fileSize - 4) return std::nullopt;
    return at;
}

struct KeySpan {
    std::uint64_t at;
    std::uint32_t size;
};

// The key's place, from the first 28 bytes of the header (version and key size).
std::optional<KeySpan> keySpan(std::uint64_t headerAt, const unsigned char* header, std::uint64_t fileSize) {
    const std::uint32_t version = be32(header), keySize = be32(header + 24);
    const std::uint64_t keyAt = headerAt + (version >= 2 ? 32 : 28);  // version 2 added a flags word
    if (version == 0 || version > 16 || keySize == 0 || keySize > kMaxKey || keyAt + keySize > fileSize - 4)
        return std::nullopt;
    return KeySpan{keyAt, keySize};
}

}  // namespace

std::optional<std::string> CacheEntryKey::parse(std::string_view bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto at = headerAt(bytes.size(), be32(data + bytes.size() - 4));
    if (!at) return std::nullopt;
    const auto key = keySpan(*at, data + *at, bytes.size());
    if (!key) return std::nullopt;
    return std::string(bytes.substr(key->at, key->size));
}

std::optional<std::string> CacheEntryKey::read(const std::filesystem::path& entry, formats::EntryFile::Facts* facts) {
    auto file = formats::EntryFile::open(entry);
    if (!file) return std::nullopt;
    if (facts) *facts = file->facts();
    return read(*file);
}

std::optional<std::string> CacheEntryKey::read(formats::EntryFile& file) {
    const std::uint64_t size = file.size();
    if (size < 4) return std::nullopt;
    // The metadata sits at the end of the entry and is small: one read of the tail usually
    // holds the offset, the header and the key.
    const std::uint64_t tailSize = std::min<std::uint64_t>(size, kTailRead);
    const std::uint64_t tailAt = size - tailSize;
    // On the stack: a start-up reads tens of thousands of these.
    std::array<char, kTailRead> buffer;
    const std::string_view tail(buffer.data(), static_cast<std::size_t>(tailSize));
    if (!file.readAt(tailAt, buffer.data(), tailSize)) return std::nullopt;
    const auto* t = reinterpret_cast<const unsigned char*>(tail.data());
    const auto at = headerAt(size, be32(t + tailSize - 4));
    if (!at) return std::nullopt;
    unsigned char header[28];
    if (*at >= tailAt) {
        std::memcpy(header, t + (*at - tailAt), sizeof header);
    } else if (!file.readAt(*at, header, sizeof header)) {
        return std::nullopt;
    }
    const auto span = keySpan(*at, header, size);
    if (!span) return std::nullopt;
    if (span->at >= tailAt) return std::string(tail.substr(span->at - tailAt, span->size));
    std::string key(span->size, '\0');
    if (!file.readAt(span->at, key.data(), span->size)) return std::nullopt;
    return key;
}

std::string CacheEntryKey::address(const std::string& key) {
    for (std::size_t p = key.find(':'); p != std::string::npos; p = key.find(':', p + 1)) {
        if (p == 0 || key[p - 1] == ',') return key.substr(p + 1);
    }
    return key;
}

}  // namespace quenvor::cleaning::firefox
