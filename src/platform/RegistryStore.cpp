#include "platform/RegistryStore.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "platform/AtomicFile.h"
#include "platform/RegFileFormat.h"

namespace quenvor::platform {
namespace {

const std::map<RegKey, std::string>& rootNames() {
    static const std::map<RegKey, std::string> names = {{kClassesRoot, "HKEY_CLASSES_ROOT"},
                                                        {kCurrentUser, "HKEY_CURRENT_USER"},
                                                        {kLocalMachine, "HKEY_LOCAL_MACHINE"},
                                                        {kUsers, "HKEY_USERS"},
                                                        {kCurrentConfig, "HKEY_CURRENT_CONFIG"}};
    return names;
}

std::string timestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    return buf;
}

}  // namespace

RegistryStore::RegistryStore(std::filesystem::path file, IKnownFolders* folders)
    : m_file(std::move(file)), m_shellFolders(folders), m_roots(std::make_unique<RegistryKey>()) {}

RegistryStore::~RegistryStore() = default;

void RegistryStore::load() {
    if (m_loaded) return;
    m_loaded = true;
    std::error_code ec;
    if (!std::filesystem::exists(m_file, ec)) return;
    std::ifstream in(m_file, std::ios::binary);
    if (!in) {
        setAside(std::string("it could not be opened (") + std::strerror(errno) + ")");
        return;
    }
    std::stringstream text;
    text << in.rdbuf();
    const bool unreadable = in.bad();
    // Setting the file aside renames it, which Windows refuses while we still hold it open.
    in.close();
    if (unreadable) {
        setAside("it could not be read to its end");
        return;
    }
    auto parsed = RegFileFormat::read(text.str());
    m_roots = std::move(parsed.roots);
    if (!parsed.errors.empty()) setAside(RegFileFormat::describe(parsed.errors), parsed.errors.front().line);
}

void RegistryStore::setAside(std::string detail, std::size_t line) {
    StoreDamage damage{m_file, m_file, line, std::move(detail)};
    const std::string stamp = timestamp();
    std::error_code ec;
    auto target = m_file;
    target += ".damaged-" + stamp;
    for (int n = 2; std::filesystem::exists(target, ec) && n < 100; ++n) {
        target = m_file;
        target += ".damaged-" + stamp + "-" + std::to_string(n);
    }
    if (!std::filesystem::exists(target, ec) && (std::filesystem::rename(m_file, target, ec), !ec)) {
        damage.keptAs = target;
        // The readable part becomes the store now, so the next start finds it; should this
        // write fail, the next change writes it again.
        (void)save();
    } else {
        m_readOnly = true;
    }
    m_damage = std::move(damage);
}

std::optional<StoreDamage> RegistryStore::damage() {
    load();
    return m_damage;
}

RegistryKey* RegistryStore::resolve(RegKey parent, const std::string& subKey, bool create, bool* existed,
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
    std::vector<std::string> parts = splitKeyPath(base);
    for (auto& p : splitKeyPath(subKey)) parts.push_back(p);
    // Reading the shell's folder key never needs a stored key: its values come from the desktop.
    const bool virtualKey = ShellFolderValues::alwaysExists(parts);
    if (existed) *existed = true;
    RegistryKey* k = m_roots.get();
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
        auto child = std::make_unique<RegistryKey>();
        child->name = p;
        k = k->subkeys.emplace(p, std::move(child)).first->second.get();
        path += (path.empty() ? "" : "\\") + p;
    }
    if (fullPath) *fullPath = path;
    return k ? k : &m_virtualKey;
}

std::vector<RegistryValue> RegistryStore::valuesOf(RegKey key) {
    auto h = m_open.find(key);
    if (h == m_open.end()) return {};
    RegistryKey* k = resolve(key, "", false, nullptr, nullptr);
    std::vector<RegistryValue> values = k ? k->values : std::vector<RegistryValue>{};
    if (ShellFolderValues::isShellFolderKey(h->second)) return m_shellFolders.answer(std::move(values));
    return values;
}

long RegistryStore::openKey(RegKey parent, const std::string& subKey, RegKey& opened) {
    std::string path;
    if (!resolve(parent, subKey, false, nullptr, &path)) {
        if (!rootNames().contains(parent) && !m_open.contains(parent)) return kErrorInvalidHandle;
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
    if (!m_open.contains(key)) return kErrorInvalidHandle;
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
    if (!m_open.contains(key)) return kErrorInvalidHandle;
    RegistryKey* k = resolve(key, "", true, nullptr, nullptr);
    if (!k) return kErrorInvalidHandle;
    auto it = std::find_if(k->values.begin(), k->values.end(),
                           [&](const RegistryValue& v) { return sameName(v.name, name); });
    if (it == k->values.end()) {
        k->values.push_back({name, type, data});
    } else {
        it->type = type;
        it->data = data;
    }
    return save();
}

long RegistryStore::deleteKey(RegKey parent, const std::string& subKey) { return removeKey(parent, subKey, false); }

long RegistryStore::deleteTree(RegKey parent, const std::string& subKey) { return removeKey(parent, subKey, true); }

long RegistryStore::removeKey(RegKey parent, const std::string& subKey, bool withSubkeys) {
    const auto parts = splitKeyPath(subKey);
    if (parts.empty()) return kErrorAccessDenied;
    std::string parentPath;
    for (std::size_t i = 0; i + 1 < parts.size(); ++i) parentPath += parts[i] + "\\";
    RegistryKey* owner = resolve(parent, parentPath, false, nullptr, nullptr);
    if (!owner) return kErrorFileNotFound;
    auto it = owner->subkeys.find(parts.back());
    if (it == owner->subkeys.end()) return kErrorFileNotFound;
    // As the plain registry deletion does: a key with subkeys stays.
    if (!withSubkeys && !it->second->subkeys.empty()) return kErrorAccessDenied;
    owner->subkeys.erase(it);
    return save();
}

long RegistryStore::deleteValue(RegKey key, const std::string& name) {
    if (!m_open.contains(key)) return kErrorInvalidHandle;
    RegistryKey* k = resolve(key, "", false, nullptr, nullptr);
    if (!k) return kErrorFileNotFound;
    auto it = std::find_if(k->values.begin(), k->values.end(),
                           [&](const RegistryValue& v) { return sameName(v.name, name); });
    if (it == k->values.end()) return kErrorFileNotFound;
    k->values.erase(it);
    return save();
}

long RegistryStore::enumKey(RegKey key, std::uint32_t index, std::string& name) {
    if (!m_open.contains(key)) return kErrorInvalidHandle;
    RegistryKey* k = resolve(key, "", false, nullptr, nullptr);
    if (!k || index >= k->subkeys.size()) return kErrorNoMoreItems;
    auto it = k->subkeys.begin();
    std::advance(it, index);
    name = it->second->name;
    return kErrorSuccess;
}

long RegistryStore::enumValue(RegKey key, std::uint32_t index, std::string& name, std::uint32_t& type) {
    if (!m_open.contains(key)) return kErrorInvalidHandle;
    const auto values = valuesOf(key);
    if (index >= values.size()) return kErrorNoMoreItems;
    name = values[index].name;
    type = values[index].type;
    return kErrorSuccess;
}

long RegistryStore::save() {
    if (m_readOnly) return kErrorAccessDenied;
    const auto s = AtomicFile::write(m_file, RegFileFormat::write(*m_roots));
    return s.ok() ? kErrorSuccess : kErrorAccessDenied;
}

}  // namespace quenvor::platform
