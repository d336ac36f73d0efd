#include "cleaning/common/KeepList.h"

#include <algorithm>
#include <cctype>

namespace quenvor::cleaning::common {

std::string KeepList::hostOf(std::string_view s) {
    auto trim = [](std::string_view v) {
        const auto b = v.find_first_not_of(" \t\r\n");
        if (b == std::string_view::npos) return std::string_view{};
        return v.substr(b, v.find_last_not_of(" \t\r\n") - b + 1);
    };
    s = trim(s);
    if (const auto scheme = s.find("://"); scheme != std::string_view::npos) s.remove_prefix(scheme + 3);
    s = s.substr(0, s.find_first_of("/?#"));
    if (const auto at = s.rfind('@'); at != std::string_view::npos) s.remove_prefix(at + 1);
    if (!s.empty() && s.front() == '[') {
        s = s.substr(1, s.find(']') == std::string_view::npos ? s.size() : s.find(']') - 1);
    } else if (std::count(s.begin(), s.end(), ':') == 1) {
        s = s.substr(0, s.find(':'));  // a port; more than one colon is an IPv6 address
    }
    while (!s.empty() && s.front() == '.') s.remove_prefix(1);
    while (!s.empty() && s.back() == '.') s.remove_suffix(1);
    std::string host(s);
    std::transform(host.begin(), host.end(), host.begin(), [](unsigned char c) {
        return c < 0x80 ? static_cast<char>(std::tolower(c)) : static_cast<char>(c);
    });
    return host;
}

KeepList KeepList::parse(std::string_view stored) {
    KeepList list;
    while (!stored.empty()) {
        const auto end = stored.find(';');
        list.add(stored.substr(0, end));
        if (end == std::string_view::npos) break;
        stored.remove_prefix(end + 1);
    }
    return list;
}

std::string KeepList::serialize() const {
    std::string out;
    for (const auto& h : m_hosts) out += (out.empty() ? "" : ";") + h;
    return out;
}

const std::string* KeepList::entryKeeping(std::string_view hostOrUrl) const {
    const std::string host = hostOf(hostOrUrl);
    if (host.empty()) return nullptr;
    const auto it = std::find_if(m_hosts.begin(), m_hosts.end(), [&](const std::string& kept) {
        return host == kept ||
               (host.size() > kept.size() && host.ends_with(kept) && host[host.size() - kept.size() - 1] == '.');
    });
    return it == m_hosts.end() ? nullptr : &*it;
}

bool KeepList::add(std::string_view host) {
    std::string h = hostOf(host);
    if (h.empty() || h.find_first_of(" ;\t") != std::string::npos ||
        std::find(m_hosts.begin(), m_hosts.end(), h) != m_hosts.end())
        return false;
    m_hosts.push_back(std::move(h));
    return true;
}

bool KeepList::release(std::string_view host) {
    const auto it = std::find(m_hosts.begin(), m_hosts.end(), hostOf(host));
    if (it == m_hosts.end()) return false;
    m_hosts.erase(it);
    return true;
}

}  // namespace quenvor::cleaning::common
