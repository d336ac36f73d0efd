#include "support/ChromiumFixture.h"

#include <cstdint>

#include "support/FirefoxFixture.h"
#include "support/LevelDbFixture.h"
#include "support/TempDir.h"

namespace quenvor::test {

// The made-up files carry the NUL bytes of the real formats, which a plain literal would cut short.
using namespace std::string_literals;

namespace {

void le32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

}  // namespace

std::string ChromiumFixture::cacheEntry(const std::string& key, const std::string& data) {
    std::string out;
    le32(out, 0xa7725c30u);  // the magic number, low word first
    le32(out, 0xfcfb6d1bu);
    le32(out, 5);
    le32(out, static_cast<std::uint32_t>(key.size()));
    le32(out, 0x12345678u);  // the key's hash, not checked
    le32(out, 0);            // padding
    return out + key + data + std::string(24, '\0');
}

void ChromiumFixture::writeCacheEntry(const std::filesystem::path& cacheData, const std::string& hash,
                                      const std::string& key) {
    TempDir::write(cacheData / (hash + "_0"), cacheEntry(key));
    TempDir::write(cacheData / (hash + "_1"), "second stream");
}

std::string ChromiumFixture::bookmarks(const std::string& url) {
    return R"({"checksum": "x", "roots": {"bookmark_bar": {"children": [{"id": "5", "name": "News",
        "type": "url", "url": ")" +
           url + R"("}], "name": "Bookmarks bar", "type": "folder"},
        "other": {"children": [], "name": "Other", "type": "folder"}}, "version": 1})";
}

void ChromiumFixture::writeSiteData(const std::filesystem::path& folder) {
    const std::string site = "https_secret-clinic.example_0";
    for (const char* f : {"File System/Origins/CURRENT", "Service Worker/Database/CURRENT", "databases/Databases.db",
                          "WebStorage/QuotaManager"})
        TempDir::write(folder / f, "MANIFEST-000001\n");
    LevelDbFixture::write(folder / "Local Storage/leveldb",
                          {{"VERSION", "1"},
                           {LevelDbFixture::localValue("https://secret-clinic.example", "visit"), "\x01token"},
                           {LevelDbFixture::localValue("chrome-extension://abcdefghijklmnop", "tabs"), "\x01saved"}});
    LevelDbFixture::write(folder / "Session Storage",
                          {{"version", "1"},
                           {LevelDbFixture::tabEntry(LevelDbFixture::kTab, "https://secret-clinic.example"), "1"},
                           {"map-1-visit", LevelDbFixture::utf16("secret-clinic")}});
    TempDir::write(folder / "IndexedDB" / (site + ".indexeddb.leveldb") / "000003.log", "records");
    TempDir::write(folder / "IndexedDB" / (site + ".indexeddb.blob") / "1/00/1", "blob");
    TempDir::write(folder / "WebStorage/1/IndexedDB/indexeddb.leveldb/CURRENT", "MANIFEST-000001\n");
    TempDir::write(folder / "File System/000/t/00/00000000", "file");
    TempDir::write(folder / "Service Worker/CacheStorage/0a1b2c/index", "cache index");
    TempDir::write(folder / "Service Worker/ScriptCache/4f3e2d1c0b0a0908_0", "worker script");
    TempDir::write(folder / "databases/https_secret-clinic.example_0/1", "web sql");
    TempDir::write(folder / "TransportSecurity", R"({"sts": [{"host": "c2VjcmV0", "mode": "force-https"}]})");
    TempDir::write(folder / "Network/TransportSecurity", R"({"sts": [{"host": "c2VjcmV0", "mode": "force-https"}]})");
    TempDir::write(
        folder / "Network/Network Persistent State",
        R"({"net": {"http_server_properties": {"servers": [{"server": "https://secret-clinic.example"}]}}})");
    TempDir::write(folder / "Network/Reporting and NEL", "SQLite format 3\0nel_policies secret-clinic.example"s);
    TempDir::write(folder / "Network/Reporting and NEL-journal", "journal");
    TempDir::write(folder / "Shared Storage", "SQLite format 3\0values_mapping https://secret-clinic.example"s);
    TempDir::write(folder / "shared_proto_db/000003.log", "the browser's own");
    TempDir::write(folder / "Local Extension Settings/abcdefghijklmnop/000003.log", "an extension's settings");
    TempDir::write(folder / "Extension State/000003.log", "extension state");
    TempDir::write(folder / "IndexedDB/chrome-extension_abcdefghijklmnop_0.indexeddb.leveldb/000003.log",
                   "an extension's saved tabs");
    TempDir::write(folder / "databases/chrome-extension_abcdefghijklmnop_0/1", "an extension's web sql");
}

void ChromiumFixture::makeProfile(const std::filesystem::path& folder) {
    FirefoxFixture::sql(folder / "History", R"(
        CREATE TABLE meta (key LONGVARCHAR NOT NULL UNIQUE PRIMARY KEY, value LONGVARCHAR);
        CREATE TABLE urls (id INTEGER PRIMARY KEY AUTOINCREMENT, url LONGVARCHAR, title LONGVARCHAR,
            visit_count INTEGER DEFAULT 0 NOT NULL, typed_count INTEGER DEFAULT 0 NOT NULL,
            last_visit_time INTEGER NOT NULL, hidden INTEGER DEFAULT 0 NOT NULL);
        CREATE TABLE visits (id INTEGER PRIMARY KEY AUTOINCREMENT, url INTEGER NOT NULL, visit_time INTEGER NOT NULL,
            from_visit INTEGER, transition INTEGER DEFAULT 0 NOT NULL);
        CREATE TABLE keyword_search_terms (keyword_id INTEGER NOT NULL, url_id INTEGER NOT NULL,
            term LONGVARCHAR NOT NULL, normalized_term LONGVARCHAR NOT NULL);
        CREATE TABLE downloads (id INTEGER PRIMARY KEY, guid VARCHAR NOT NULL, current_path LONGVARCHAR NOT NULL,
            target_path LONGVARCHAR NOT NULL);
        CREATE TABLE downloads_url_chains (id INTEGER NOT NULL, chain_index INTEGER NOT NULL, url LONGVARCHAR NOT NULL,
            PRIMARY KEY (id, chain_index));
        CREATE TABLE segments (id INTEGER PRIMARY KEY, name VARCHAR, url_id INTEGER NON NULL);
        INSERT INTO meta VALUES ('version', '70');
        INSERT INTO urls VALUES (1, 'https://secret-clinic.example/appointment', 'Appointment', 3, 0, 1, 0),
                                (2, 'https://news.example/', 'News', 9, 1, 2, 0);
        INSERT INTO visits VALUES (1, 1, 1, 0, 0), (2, 2, 2, 0, 1);
        INSERT INTO keyword_search_terms VALUES (2, 1, 'clinic opening hours', 'clinic opening hours');
        INSERT INTO downloads VALUES (1, 'g', '/home/ana/results.pdf', '/home/ana/results.pdf');
        INSERT INTO downloads_url_chains VALUES (1, 0, 'https://secret-clinic.example/results.pdf');
        INSERT INTO segments VALUES (1, 'http://secret-clinic.example/', 1);
    )");
    TempDir::write(folder / "History-journal", "");
    FirefoxFixture::sql(folder / "Favicons", R"(
        CREATE TABLE icon_mapping (id INTEGER PRIMARY KEY, page_url LONGVARCHAR NOT NULL, icon_id INTEGER);
        CREATE TABLE favicons (id INTEGER PRIMARY KEY, url LONGVARCHAR NOT NULL, icon_type INTEGER DEFAULT 1);
        CREATE TABLE favicon_bitmaps (id INTEGER PRIMARY KEY, icon_id INTEGER NOT NULL, image_data BLOB);
        INSERT INTO favicons VALUES (1, 'https://secret-clinic.example/favicon.ico', 1),
                                    (2, 'https://news.example/favicon.ico', 1);
        INSERT INTO icon_mapping VALUES (1, 'https://secret-clinic.example/appointment', 1),
                                        (2, 'https://news.example/', 2);
        INSERT INTO favicon_bitmaps VALUES (1, 1, x'0102'), (2, 2, x'0304');
    )");
    FirefoxFixture::sql(folder / "Top Sites", R"(
        CREATE TABLE top_sites (url LONGVARCHAR PRIMARY KEY, url_rank INTEGER, title TEXT);
        INSERT INTO top_sites VALUES ('https://secret-clinic.example/', 0, 'Clinic');
    )");
    FirefoxFixture::sql(folder / "Shortcuts", R"(
        CREATE TABLE omni_box_shortcuts (id VARCHAR PRIMARY KEY, text VARCHAR, url VARCHAR);
        INSERT INTO omni_box_shortcuts VALUES ('1', 'secret cl', 'https://secret-clinic.example/appointment');
    )");
    FirefoxFixture::sql(folder / "Network Action Predictor", R"(
        CREATE TABLE network_action_predictor (id TEXT PRIMARY KEY, user_text TEXT, url TEXT);
        INSERT INTO network_action_predictor VALUES ('1', 'secr', 'https://secret-clinic.example/appointment');
    )");
    FirefoxFixture::sql(folder / "Network/Cookies", R"(
        CREATE TABLE cookies (creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, name TEXT NOT NULL,
            value TEXT NOT NULL, path TEXT NOT NULL, encrypted_value BLOB DEFAULT '');
        INSERT INTO cookies VALUES (1, '.secret-clinic.example', 'sid', 'clinic-session-secret', '/', ''),
                                   (2, 'news.example', 'pref', 'dark', '/world', '');
    )");
    FirefoxFixture::sql(folder / "Web Data", R"(
        CREATE TABLE autofill (name VARCHAR, value VARCHAR, value_lower VARCHAR, date_created INTEGER DEFAULT 0,
            date_last_used INTEGER DEFAULT 0, count INTEGER DEFAULT 1, PRIMARY KEY (name, value));
        CREATE TABLE autofill_profiles (guid VARCHAR PRIMARY KEY, company_name VARCHAR);
        CREATE TABLE autofill_profile_names (guid VARCHAR, first_name VARCHAR);
        CREATE TABLE credit_cards (guid VARCHAR PRIMARY KEY, name_on_card VARCHAR);
        CREATE TABLE keywords (id INTEGER PRIMARY KEY, short_name VARCHAR NOT NULL);
        INSERT INTO autofill VALUES ('diagnosis', 'typed-form-secret', 'typed-form-secret', 1, 1, 1);
        INSERT INTO autofill_profiles VALUES ('p1', 'Clinic Ltd');
        INSERT INTO autofill_profile_names VALUES ('p1', 'Ana');
        INSERT INTO credit_cards VALUES ('c1', 'ANA CARD');
        INSERT INTO keywords VALUES (1, 'Search');
    )");
    FirefoxFixture::sql(folder / "Login Data", R"(
        CREATE TABLE logins (origin_url VARCHAR NOT NULL, username_value VARCHAR, password_value BLOB);
        INSERT INTO logins VALUES ('https://secret-clinic.example/', 'ana', x'01');
    )");
    TempDir::write(folder / "Bookmarks", bookmarks("https://news.example/"));
    TempDir::write(folder / "Preferences", "{}");
    TempDir::write(folder / "Visited Links", "links");
    TempDir::write(folder / "Current Session", "SNSS secret-clinic");
    TempDir::write(folder / "Last Tabs", "SNSS secret-clinic");
    TempDir::write(folder / "Sessions/Session_1", "SNSS secret-clinic");
    TempDir::write(folder / "Sessions_Encrypted/Tabs_1", "SNSS secret-clinic");
    writeCacheEntry(folder / "Cache/Cache_Data", "0123456789abcdef",
                    "1/0/_dk_https://secret-clinic.example https://secret-clinic.example "
                    "https://secret-clinic.example/appointment");
    TempDir::write(folder / "Cache/Cache_Data/index", "index");
    TempDir::write(folder / "Code Cache/js/aaaa_0", "code");
    TempDir::write(folder / "GPUCache/data_0", "gpu");
}

}  // namespace quenvor::test
