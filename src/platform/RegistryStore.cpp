#include "platform/RegistryStore.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/IKnownFolders.h"
#include "platform/TextEncoding.h"

namespace quenvor::platform {
namespace {

// Key and value names compare without case, as the registry's do.
struct NoCase {
    bool operator()(const std::string& a, const std::string& b) const {
        return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
            return std::tolower(static_cast<unsigned char>(x)) < std::tolower(static_cast<unsigned char>(y));
        });
    }
};

bool sameName(const std::string& a, const std::string& b) { return !NoCase()(a, b) && !NoCase()(b, a); }

std::vector<std::string> split(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

const std::map<RegKey, std::string>& rootNames() {
    static const std::map<RegKey, std::string> names = {{kClassesRoot, "HKEY_CLASSES_ROOT"},
                                                        {kCurrentUser, "HKEY_CURRENT_USER"},
                                                        {kLocalMachine, "HKEY_LOCAL_MACHINE"},
                                                        {kUsers, "HKEY_USERS"},
                                                        {kCurrentConfig, "HKEY_CURRENT_CONFIG"}};
    return names;
}

std::vector<std::uint8_t> sz(const std::string& s) {
    std::vector<std::uint8_t> d(s.begin(), s.end());
    d.push_back(0);
    return d;
}

std::string quote(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

// Reads a quoted string starting at `i` (on the opening quote); `i` ends after the closing one.
bool unquote(const std::string& line, std::size_t& i, std::string& out) {
    if (i >= line.size() || line[i] != '"') return false;
    out.clear();
    for (++i; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out += line[++i];
        } else if (line[i] == '"') {
            ++i;
            return true;
        } else {
            out += line[i];
        }
    }
    return false;
}

}  // namespace

struct RegistryStore::Key {
    std::map<std::string, std::unique_ptr<Key>, NoCase> subkeys;
    std::vector<Value> values;
    std::string name;
};

RegistryStore::RegistryStore(std::filesystem::path file, IKnownFolders* folders)
    : m_file(std::move(file)),
      m_folders(folders),
      m_roots(std::make_unique<Key>()),
      m_virtualKeyStorage(std::make_unique<Key>()),
      m_virtualKey(*m_virtualKeyStorage) {}

RegistryStore::~RegistryStore() = default;

void RegistryStore::load() {
    if (m_loaded) return;
    m_loaded = true;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) return;
    std::stringstream ss;
    ss << in.rdbuf();
    (void)parse(ss.str());
}

RegistryStore::Key* RegistryStore::resolve(RegKey parent, const std::string& subKey, bool create, bool* existed,
                                           std::string* fullPath) {
    load();
    std::string base;
    if (auto r = rootNames().find(parent); r != rootNames().end()) {
        base = r->second;
    } else if (auto h = m_open.find(parent); h != m_open.end()) {
        base = h->second;
    } else {
        return nullptr;
    }
    std::vector<std::string> parts = split(base);
    for (auto& p : split(subKey)) parts.push_back(p);
    // The shell's folder key (and the keys above it) always exists: its values come from the
    // desktop, so reading it never needs a stored key.
    const auto shellFolders = split(std::string("HKEY_CURRENT_USER\\") + kShellFoldersKey);
    const bool virtualKey =
        parts.size() <= shellFolders.size() && std::equal(parts.begin(), parts.end(), shellFolders.begin(), sameName);
    if (existed) *existed = true;
    Key* k = m_roots.get();
    std::string path;
    for (const auto& p : parts) {
        if (k) {
            if (auto it = k->subkeys.find(p); it != k->subkeys.end()) {
                k = it->second.get();
                path += (path.empty() ? "" : "\\") + k->name;
                continue;
            }
        }
        if (!create) {
            if (!virtualKey) return nullptr;
            k = nullptr;  // below here nothing is stored
            path += (path.empty() ? "" : "\\") + p;
            continue;
        }
        if (existed && !virtualKey) *existed = false;
        auto child = std::make_unique<Key>();
        child->name = p;
        k = k->subkeys.emplace(p, std::move(child)).first->second.get();
        path += (path.empty() ? "" : "\\") + p;
    }
    if (fullPath) *fullPath = path;
    return k ? k : &m_virtualKey;
}

std::vector<RegistryStore::Value> RegistryStore::valuesOf(RegKey key) {
    auto h = m_open.find(key);
    if (h == m_open.end()) return {};
    Key* k = resolve(key, "", false, nullptr, nullptr);
    std::vector<Value> values = k ? k->values : std::vector<Value>{};
    if (m_folders && sameName(h->second, std::string("HKEY_CURRENT_USER\\") + kShellFoldersKey)) {
        auto overlay = [&](const std::string& name, const std::filesystem::path& p) {
            values.erase(
                std::remove_if(values.begin(), values.end(), [&](const Value& v) { return sameName(v.name, name); }),
                values.end());
            values.push_back({name, kRegSz, sz(p.string())});
        };
        overlay("AppData", m_folders->configHome());
        overlay("Local AppData", m_folders->cacheHome());
        overlay("Recent", m_folders->dataHome() / "RecentDocuments");
        // No system-wide history folder exists here: "History" stays absent.
        values.erase(
            std::remove_if(values.begin(), values.end(), [&](const Value& v) { return sameName(v.name, "History"); }),
            values.end());
    }
    return values;
}

long RegistryStore::openKey(RegKey parent, const std::string& subKey, RegKey& opened) {
    std::string path;
    if (!resolve(parent, subKey, false, nullptr, &path)) {
        if (!rootNames().count(parent) && !m_open.count(parent)) return kErrorInvalidHandle;
        return kErrorFileNotFound;
    }
    opened = m_nextHandle++;
    m_open[opened] = path;
    return kErrorSuccess;
}

long RegistryStore::createKey(RegKey parent, const std::string& subKey, RegKey& opened, bool* existed) {
    std::string path;
    bool was = true;
    if (!resolve(parent, subKey, true, &was, &path)) return kErrorInvalidHandle;
    if (existed) *existed = was;
    if (!was) {
        if (long rc = save(); rc != kErrorSuccess) return rc;
    }
    opened = m_nextHandle++;
    m_open[opened] = path;
    return kErrorSuccess;
}

long RegistryStore::closeKey(RegKey key) { return m_open.erase(key) ? kErrorSuccess : kErrorInvalidHandle; }

long RegistryStore::queryValue(RegKey key, const std::string& name, std::uint32_t& type,
                               std::vector<std::uint8_t>& data, std::uint32_t& size) {
    if (!m_open.count(key)) return kErrorInvalidHandle;
    for (const auto& v : valuesOf(key)) {
        if (!sameName(v.name, name)) continue;
        type = v.type;
        const auto needed = static_cast<std::uint32_t>(v.data.size());
        if (size < needed) {
            size = needed;
            return kErrorMoreData;
        }
        size = needed;
        data = v.data;
        return kErrorSuccess;
    }
    return kErrorFileNotFound;
}

long RegistryStore::setValue(RegKey key, const std::string& name, std::uint32_t type,
                             const std::vector<std::uint8_t>& data) {
    if (!m_open.count(key)) return kErrorInvalidHandle;
    Key* k = resolve(key, "", true, nullptr, nullptr);
    if (!k) return kErrorInvalidHandle;
    auto it = std::find_if(k->values.begin(), k->values.end(), [&](const Value& v) { return sameName(v.name, name); });
    if (it == k->values.end()) {
        k->values.push_back({name, type, data});
    } else {
        it->type = type;
        it->data = data;
    }
    return save();
}

long RegistryStore::deleteKey(RegKey parent, const std::string& subKey) {
    const auto parts = split(subKey);
    if (parts.empty()) return kErrorAccessDenied;
    std::string parentPath;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath += parts[i] + "\\";
    Key* owner = resolve(parent, parentPath, false, nullptr, nullptr);
    if (!owner) return kErrorFileNotFound;
    auto it = owner->subkeys.find(parts.back());
    if (it == owner->subkeys.end()) return kErrorFileNotFound;
    // As the plain registry deletion does: a key with subkeys stays.
    if (!it->second->subkeys.empty()) return kErrorAccessDenied;
    owner->subkeys.erase(it);
    return save();
}

long RegistryStore::deleteValue(RegKey key, const std::string& name) {
    if (!m_open.count(key)) return kErrorInvalidHandle;
    Key* k = resolve(key, "", false, nullptr, nullptr);
    if (!k) return kErrorFileNotFound;
    auto it = std::find_if(k->values.begin(), k->values.end(), [&](const Value& v) { return sameName(v.name, name); });
    if (it == k->values.end()) return kErrorFileNotFound;
    k->values.erase(it);
    return save();
}

long RegistryStore::enumKey(RegKey key, std::uint32_t index, std::string& name) {
    if (!m_open.count(key)) return kErrorInvalidHandle;
    Key* k = resolve(key, "", false, nullptr, nullptr);
    if (!k || index >= k->subkeys.size()) return kErrorNoMoreItems;
    auto it = k->subkeys.begin();
    std::advance(it, index);
    name = it->second->name;
    return kErrorSuccess;
}

long RegistryStore::enumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type) {
    if (!m_open.count(key)) return kErrorInvalidHandle;
    const auto values = valuesOf(key);
    if (index >= values.size()) return kErrorNoMoreItems;
    name = values[index].name;
    type = values[index].type;
    return kErrorSuccess;
}

std::string RegistryStore::serialize() {
    load();
    std::ostringstream out;
    out << "Windows Registry Editor Version 5.00\r\n";
    std::function<void(const Key&, const std::string&)> emit = [&](const Key& k, const std::string& path) {
        if (!path.empty() && path.find('\\') != std::string::npos) {
            out << "\r\n[" << path << "]\r\n";
            for (const auto& v : k.values) {
                out << (v.name.empty() ? std::string("@") : quote(v.name)) << "=";
                const bool plainText = v.type == kRegSz && !v.data.empty() && v.data.back() == 0 &&
                                       std::find(v.data.begin(), v.data.end() - 1, 0) == v.data.end() - 1;
                if (plainText) {
                    out << quote(std::string(v.data.begin(), v.data.end() - 1));
                } else if (v.type == kRegDword && v.data.size() == 4) {
                    char buf[16];
                    std::snprintf(buf, sizeof buf, "dword:%02x%02x%02x%02x", v.data[3], v.data[2], v.data[1],
                                  v.data[0]);
                    out << buf;
                } else {
                    std::vector<std::uint8_t> bytes = v.data;
                    if (v.type == kRegExpandSz || v.type == kRegMultiSz) {
                        // The editor's exports keep these as UTF-16LE.
                        const auto wide = utf8ToUtf16(std::string(v.data.begin(), v.data.end()));
                        bytes.clear();
                        for (char16_t c : wide) {
                            bytes.push_back(static_cast<std::uint8_t>(c & 0xFF));
                            bytes.push_back(static_cast<std::uint8_t>(c >> 8));
                        }
                    }
                    out << (v.type == kRegBinary ? std::string("hex:") : "hex(" + std::to_string(v.type) + "):");
                    for (std::size_t i = 0; i < bytes.size(); ++i) {
                        char buf[4];
                        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
                        out << (i ? "," : "") << buf;
                    }
                }
                out << "\r\n";
            }
        }
        for (const auto& [name, child] : k.subkeys)
            emit(*child, path.empty() ? child->name : path + "\\" + child->name);
    };
    emit(*m_roots, "");
    return out.str();
}

Status RegistryStore::parse(const std::string& text) {
    auto roots = std::make_unique<Key>();
    Key* current = nullptr;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == ';' || line.rfind("Windows Registry Editor", 0) == 0) continue;
        if (line[0] == '[' && line.back() == ']') {
            current = roots.get();
            for (const auto& p : split(line.substr(1, line.size() - 2))) {
                auto& slot = current->subkeys[p];
                if (!slot) {
                    slot = std::make_unique<Key>();
                    slot->name = p;
                }
                current = slot.get();
            }
            continue;
        }
        if (!current) continue;
        std::size_t i = 0;
        Value v;
        if (line[0] == '@') {
            i = 1;
        } else if (!unquote(line, i, v.name)) {
            continue;
        }
        if (i >= line.size() || line[i] != '=') continue;
        const std::string rest = line.substr(i + 1);
        if (!rest.empty() && rest[0] == '"') {
            std::size_t j = 0;
            std::string s;
            if (!unquote(rest, j, s)) continue;
            v.type = kRegSz;
            v.data = sz(s);
        } else if (rest.rfind("dword:", 0) == 0) {
            const auto n = static_cast<std::uint32_t>(std::stoul(rest.substr(6), nullptr, 16));
            v.type = kRegDword;
            v.data = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                      static_cast<std::uint8_t>(n >> 16), static_cast<std::uint8_t>(n >> 24)};
        } else if (rest.rfind("hex", 0) == 0) {
            const auto colon = rest.find(':');
            if (colon == std::string::npos) continue;
            v.type = rest[3] == '(' ? static_cast<std::uint32_t>(std::stoul(rest.substr(4), nullptr, 16)) : kRegBinary;
            std::string hex = rest.substr(colon + 1);
            for (std::size_t k = 0; k + 1 < hex.size() + 1;) {
                while (k < hex.size() && (hex[k] == ',' || hex[k] == ' ')) ++k;
                if (k + 2 > hex.size()) break;
                v.data.push_back(static_cast<std::uint8_t>(std::stoul(hex.substr(k, 2), nullptr, 16)));
                k += 2;
            }
            if (v.type == kRegExpandSz || v.type == kRegMultiSz) {
                std::u16string wide;
                for (std::size_t k = 0; k + 1 < v.data.size(); k += 2)
                    wide.push_back(static_cast<char16_t>(v.data[k] | (v.data[k + 1] << 8)));
                const std::string narrow = utf16ToUtf8(wide);
                v.data.assign(narrow.begin(), narrow.end());
            }
        } else {
            continue;
        }
        current->values.push_back(std::move(v));
    }
    m_roots = std::move(roots);
    m_loaded = true;
    return {};
}

long RegistryStore::save() {
    const auto s = AtomicFile::write(m_file, serialize());
    return s.ok() ? kErrorSuccess : kErrorAccessDenied;
}

}  // namespace quenvor::platform
