#pragma once
// The entries a profile's "Preferences" keeps per site: how much the user engaged with it and
// played its media, what the browser noted while visiting it (visits), and what the user or the
// site decided for it: permissions, cookie choices, zoom (settings). Finding changes nothing;
// removing takes out exactly the entries found, leaves every other member as it was and
// replaces the file whole, so a crash leaves the old file or the new one.
#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "cleaning/common/KeepList.h"
#include "cleaning/formats/JsonWriter.h"
#include "platform/Result.h"

namespace quenvor::platform {
class IFileService;
}

namespace quenvor::cleaning::chromium {

class PreferencesSites {
public:
    enum class Kind { Visits, Settings };
    struct Entry {
        formats::JsonWriter::Path path;
        std::string host;
        std::string type;  // the content setting, or "zoom"
    };
    struct Found {
        std::filesystem::path file;
        std::vector<Entry> entries;
        std::set<std::string> keptBy;  // keep-list entries whose sites' settings stayed
        std::uint64_t bytes = 0;       // what the entries take in the file, about
        // The names for a full list: "<host> (<type>)".
        std::vector<std::string> names() const;
    };

    // A missing file finds nothing; a file that is no JSON object, or is a link, is a failure.
    // The keep list keeps settings only: a kept site's visits are history like any other.
    static platform::Result<Found> find(platform::IFileService& files, const std::filesystem::path& file, Kind kind,
                                        const common::KeepList& keep);
    static platform::Status remove(platform::IFileService& files, const Found& found);

    // The host a content-settings pattern names ("https://a.example:443,*", "[*.]a.example");
    // empty for a pattern of every site.
    static std::string patternHost(const std::string& pattern);
};

}  // namespace quenvor::cleaning::chromium
