#include "cleaning/CacheEntryKey.h"

#include <cstdint>
#include <fstream>

namespace quenvor::cleaning {
namespace {

constexpr std::uint64_t kChunkSize = 256 * 1024;
constexpr std::uint32_t kMaxKey = 64 * 1024;

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

// Where the key starts and how long it is, given the file size and the metadata it holds.
struct Layout {
    std::uint64_t headerAt = 0;
    std::uint32_t version = 0;
};

std::optional<Layout> layout(std::uint64_t fileSize, std::uint32_t metaOffset) {
    if (fileSize < 4 || metaOffset > fileSize - 4) return std::nullopt;
    const std::uint64_t chunks = (metaOffset + kChunkSize - 1) / kChunkSize;
    Layout l;
    l.headerAt = std::uint64_t{metaOffset} + 4 + 2 * chunks;
    if (l.headerAt + 28 > fileSize - 4) return std::nullopt;
    return l;
}

}  // namespace

std::optional<std::string> CacheEntryKey::parse(std::string_view bytes) {
    if (bytes.size() < 4) return std::nullopt;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const auto l = layout(bytes.size(), be32(data + bytes.size() - 4));
    if (!l) return std::nullopt;
    const std::uint32_t version = be32(data + l->headerAt);
    const std::uint32_t keySize = be32(data + l->headerAt + 24);
    const std::uint64_t keyAt = l->headerAt + (version >= 2 ? 32 : 28);
    if (version == 0 || version > 16 || keySize == 0 || keySize > kMaxKey || keyAt + keySize > bytes.size() - 4)
        return std::nullopt;
    return std::string(bytes.substr(keyAt, keySize));
}

std::optional<std::string> CacheEntryKey::read(const std::filesystem::path& entry) {
    std::ifstream in(entry, std::ios::binary);
    if (!in) return std::nullopt;
    in.seekg(0, std::ios::end);
    const auto size = static_cast<std::uint64_t>(in.tellg());
    if (size < 4) return std::nullopt;
    unsigned char tail[4];
    in.seekg(static_cast<std::streamoff>(size - 4));
    if (!in.read(reinterpret_cast<char*>(tail), 4)) return std::nullopt;
    const auto l = layout(size, be32(tail));
    if (!l) return std::nullopt;
    unsigned char header[32];
    in.seekg(static_cast<std::streamoff>(l->headerAt));
    if (!in.read(reinterpret_cast<char*>(header), 28)) return std::nullopt;
    const std::uint32_t version = be32(header), keySize = be32(header + 24);
    const std::uint64_t keyAt = l->headerAt + (version >= 2 ? 32 : 28);
    if (version == 0 || version > 16 || keySize == 0 || keySize > kMaxKey || keyAt + keySize > size - 4)
        return std::nullopt;
    std::string key(keySize, '\0');
    in.seekg(static_cast<std::streamoff>(keyAt));
    if (!in.read(key.data(), keySize)) return std::nullopt;
    return key;
}

std::string CacheEntryKey::address(const std::string& key) {
    for (std::size_t p = key.find(':'); p != std::string::npos; p = key.find(':', p + 1)) {
        if (p == 0 || key[p - 1] == ',') return key.substr(p + 1);
    }
    return key;
}

}  // namespace quenvor::cleaning
