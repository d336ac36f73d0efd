#include "cleaning/chromium/PreferencesSites.h"

#include <cerrno>
#include <fstream>
#include <iterator>
#include <optional>

#include "cleaning/formats/JsonValue.h"
#include "platform/AtomicFile.h"
#include "platform/ErrorKinds.h"
#include "platform/IFileService.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::chromium {

namespace fs = std::filesystem;
using formats::JsonValue;

namespace {

// Content settings that record what happened on a site rather than a choice for it: they are
// its history. Every other content setting with a site in it is a setting the keep list keeps.
const std::set<std::string> kVisitSettings = {"site_engagement",
                                              "media_engagement",
                                              "important_site_info",
                                              "app_banner",
                                              "intent_picker_auto_display",
                                              "formfill_metadata",
                                              "password_protection",
                                              "safe_browsing_url_check_data",
                                              "https_enforced",
                                              "notification_interactions",
                                              "notification_permission_review",
                                              "permission_actions_history",
                                              "permission_autoblocking_data",
                                              "permission_autorevocation_data",
                                              "unused_site_permissions",
                                              "abusive_notification_permissions",
                                              "disruptive_notification_permissions",
                                              "suspicious_notification_ids",
                                              "suspicious_site_warning_data",
                                              "subresource_filter_data",
                                              "anti_abuse",
                                              "initialized_translations",
                                              "file_system_last_picked_directory"};

platform::Result<std::string> readAll(platform::IFileService& files, const fs::path& file) {
    auto st = files.status(file);
    if (!st) return st.error();
    if (st->type == platform::FileType::NotFound) return std::string{};
    if (st->type != platform::FileType::Regular) return platform::Error{EINVAL, "not a plain file, left as it was"};
    std::ifstream in(file, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in && !in.eof()) return platform::Error{EIO, "could not be read"};
    return text;
}

platform::Result<std::optional<JsonValue>> readDoc(platform::IFileService& files, const fs::path& file) {
    auto text = readAll(files, file);
    if (!text) return text.error();
    if (text->empty()) return std::optional<JsonValue>{};
    auto doc = JsonValue::parse(*text);
    if (!doc || doc->kind() != JsonValue::Kind::Object)
        return platform::Error{EINVAL, "not well-formed, left as it was"};
    return std::optional<JsonValue>(std::move(*doc));
}

const JsonValue* at(const JsonValue& doc, const std::vector<std::string>& path) {
    const JsonValue* v = &doc;
    for (const auto& name : path)
        if (!(v = v->member(name))) return nullptr;
    return v;
}

}  // namespace

std::string PreferencesSites::patternHost(const std::string& pattern) {
    std::string primary = pattern.substr(0, pattern.find(','));
    if (primary == "*" || primary.empty()) return {};
    const auto scheme = primary.find("://");
    const auto hostAt = scheme == std::string::npos ? 0 : scheme + 3;
    if (primary.compare(hostAt, 4, "[*.]") == 0) primary.erase(hostAt, 4);
    std::string host = common::KeepList::hostOf(primary);
    return host == "*" ? std::string{} : host;
}

std::vector<std::string> PreferencesSites::Found::names() const {
    std::vector<std::string> out;
    out.reserve(entries.size());
    for (const auto& e : entries) out.push_back(e.host + " (" + e.type + ")");
    return out;
}

platform::Result<PreferencesSites::Found> PreferencesSites::find(platform::IFileService& files, const fs::path& file,
                                                                 Kind kind, const common::KeepList& keep) {
    Found found;
    found.file = file;
    auto doc = readDoc(files, file);
    if (!doc) return doc.error();
    if (!*doc) return found;
    auto consider = [&](formats::JsonWriter::Path path, const std::string& host, const std::string& type,
                        const JsonValue& value) {
        if (host.empty()) return;
        if (kind == Kind::Settings)
            if (const std::string* by = keep.entryKeeping(host)) {
                found.keptBy.insert(*by);
                return;
            }
        // The member as written: its name, its value's text and the punctuation around them.
        found.bytes += path.back().size() + formats::JsonWriter::write(value).size() + 4;
        found.entries.push_back({std::move(path), host, type});
    };
    const std::vector<std::string> exceptions = {"profile", "content_settings", "exceptions"};
    if (const JsonValue* types = at(**doc, exceptions))
        for (const auto& [type, patterns] : types->members()) {
            if (kVisitSettings.contains(type) != (kind == Kind::Visits)) continue;
            for (const auto& [pattern, value] : patterns.members()) {
                auto path = exceptions;
                path.push_back(type);
                path.push_back(pattern);
                consider(std::move(path), patternHost(pattern), type, value);
            }
        }
    // Zoom levels are kept per host, in one list for each storage partition.
    const std::vector<std::string> zoom = {"partition", "per_host_zoom_levels"};
    if (kind == Kind::Settings)
        if (const JsonValue* partitions = at(**doc, zoom))
            for (const auto& [partition, hosts] : partitions->members())
                for (const auto& [host, value] : hosts.members()) {
                    auto path = zoom;
                    path.push_back(partition);
                    path.push_back(host);
                    consider(std::move(path), common::KeepList::hostOf(host), "zoom", value);
                }
    return found;
}

platform::Status PreferencesSites::remove(platform::IFileService& files, const Found& found) {
    if (found.entries.empty()) return {};
    auto doc = readDoc(files, found.file);
    if (!doc) return doc.error();
    if (!*doc) return {};
    std::set<formats::JsonWriter::Path> omit;
    for (const auto& e : found.entries) omit.insert(e.path);
    return platform::AtomicFile::write(found.file, formats::JsonWriter::write(**doc, omit));
}

}  // namespace quenvor::cleaning::chromium
