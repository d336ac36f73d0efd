#include "cleaning/desktop/RegistryTraces.h"

#include <algorithm>

#include "platform/TextEncoding.h"

namespace quenvor::cleaning::desktop {

using platform::RegKey;

namespace {

// Explorer nests one level (a subkey per file type); anything deeper than this is no list of ours.
constexpr int kMaxDepth = 8;

std::string join(const std::string& key, const std::string& name) {
    return key.empty() || key.back() == '\\' ? key + name : key + "\\" + name;
}

bool allDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A numbered binary value of a recent-documents list starts with the document's name in
// UTF-16, ended by a NUL; anything else is shown by its place in the registry.
std::string shownName(const std::string& path, const std::string& name, std::uint32_t type,
                      const std::vector<std::uint8_t>& data) {
    if (type == platform::kRegBinary && allDigits(name)) {
        std::u16string text;
        for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
            const auto unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
            if (unit == 0) {
                if (!text.empty()) return platform::utf16ToUtf8(text);
                break;
            }
            text.push_back(unit);
        }
    }
    return join(path, name);
}

}  // namespace

std::string RegistryTraces::reason(long rc) {
    switch (rc) {
        case platform::kErrorAccessDenied:
            return "the store refused the change";
        case platform::kErrorInvalidHandle:
            return "the key could not be opened";
        default:
            return "registry error " + std::to_string(rc);
    }
}

std::string RegistryTraces::openReason(long rc) {
    return rc == platform::kErrorAccessDenied ? "the key could not be opened (access denied)" : reason(rc);
}

RegistryTraces::Found RegistryTraces::find(RegKey root, const std::string& key) {
    Found found;
    found.key = key;
    RegKey handle = 0;
    if (const long rc = m_registry.openKey(root, key, handle); rc != platform::kErrorSuccess) {
        if (rc != platform::kErrorFileNotFound) {
            found.exists = true;
            found.unreadable = openReason(rc);
        }
        return found;
    }
    found.exists = true;
    collect(handle, key, found, 0);
    (void)m_registry.closeKey(handle);  // only read through
    return found;
}

// Values go to `into` as entries of its own at the top, and into the subkey's entry below it.
void RegistryTraces::collect(RegKey key, const std::string& path, Found& into, int depth) {
    std::string name;
    std::uint32_t type = 0;
    for (std::uint32_t i = 0; m_registry.enumValue(key, i, name, type) == platform::kErrorSuccess; ++i) {
        std::vector<std::uint8_t> data;
        std::uint32_t size = 0;
        long rc = m_registry.queryValue(key, name, type, data, size);
        if (rc == platform::kErrorMoreData) rc = m_registry.queryValue(key, name, type, data, size);
        if (rc != platform::kErrorSuccess) data.clear();  // still a value to remove, of a size unknown
        if (depth == 0) into.values.push_back({name, 1, data.size()});
        ++into.items;
        into.bytes += data.size();
        into.names.push_back(shownName(path, name, type, data));
    }
    if (depth >= kMaxDepth) return;
    std::vector<std::string> subkeys;
    for (std::uint32_t i = 0; m_registry.enumKey(key, i, name) == platform::kErrorSuccess; ++i) subkeys.push_back(name);
    for (const auto& sub : subkeys) {
        const auto itemsBefore = into.items;
        const auto bytesBefore = into.bytes;
        RegKey child = 0;
        if (m_registry.openKey(key, sub, child) == platform::kErrorSuccess) {
            collect(child, join(path, sub), into, depth + 1);
            (void)m_registry.closeKey(child);  // only read through
        }
        if (depth == 0) into.subkeys.push_back({sub, into.items - itemsBefore, into.bytes - bytesBefore});
    }
}

void RegistryTraces::removeContents(RegKey root, const Found& found) {
    if (!found.unreadable.empty()) m_report.fail(m_area, found.key, found.unreadable);
    if (found.values.empty() && found.subkeys.empty()) return;
    RegKey handle = 0;
    if (const long rc = m_registry.openKey(root, found.key, handle); rc != platform::kErrorSuccess) {
        if (rc != platform::kErrorFileNotFound) m_report.fail(m_area, found.key, openReason(rc));
        return;
    }
    for (const auto& v : found.values) {
        const long rc = m_registry.deleteValue(handle, v.name);
        if (rc == platform::kErrorSuccess)
            tally(v);
        else if (rc != platform::kErrorFileNotFound)
            m_report.fail(m_area, join(found.key, v.name), reason(rc));
    }
    for (const auto& s : found.subkeys) {
        const long rc = m_registry.deleteTree(handle, s.name);
        if (rc == platform::kErrorSuccess)
            tally(s);
        else if (rc != platform::kErrorFileNotFound)
            m_report.fail(m_area, join(found.key, s.name), reason(rc));
    }
    (void)m_registry.closeKey(handle);  // the deletions are done or reported already
}

void RegistryTraces::removeKey(RegKey root, const Found& found) {
    if (!found.unreadable.empty()) m_report.fail(m_area, found.key, found.unreadable);
    if (!found.exists) return;
    const long rc = m_registry.deleteTree(root, found.key);
    if (rc == platform::kErrorSuccess)
        tally({found.key, found.items, found.bytes});
    else if (rc != platform::kErrorFileNotFound)
        m_report.fail(m_area, found.key, reason(rc));
}

}  // namespace quenvor::cleaning::desktop
