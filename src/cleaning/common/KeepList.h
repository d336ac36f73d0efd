#pragma once
// The sites whose cookies and site data a run keeps, as the user stored them: host names
// separated by ";". An entry keeps its host and every subdomain of it; a leading dot, letter
// case and a trailing dot make no difference.
#include <string>
#include <string_view>
#include <vector>

namespace quenvor::cleaning::common {

class KeepList {
public:
    KeepList() = default;
    static KeepList parse(std::string_view stored);
    std::string serialize() const;

    // True for a host the list keeps: an entry itself or a subdomain of one. An address or an
    // origin ("https://a.example:8443/path") is reduced to its host first.
    bool keeps(std::string_view hostOrUrl) const { return entryKeeping(hostOrUrl) != nullptr; }
    // The entry that keeps it, for an account of which sites were kept; null when none does.
    const std::string* entryKeeping(std::string_view hostOrUrl) const;
    // Adds or releases one site; false when there was nothing to change.
    bool add(std::string_view host);
    bool release(std::string_view host);

    const std::vector<std::string>& hosts() const { return m_hosts; }
    bool empty() const { return m_hosts.empty(); }

    // The host of an address, an origin or a bare host: no scheme, user, port, path; lower
    // case, without a leading or trailing dot; an IPv6 address without its brackets.
    static std::string hostOf(std::string_view hostOrUrl);

private:
    std::vector<std::string> m_hosts;  // normalised, in the order added, no repeats
};

}  // namespace quenvor::cleaning::common
