#include "support/FirefoxFixture.h"

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <fstream>

#include "platform/Utf8Path.h"

namespace quenvor::test {

void FirefoxFixture::sql(const std::filesystem::path& db, const std::string& statements) {
    std::filesystem::create_directories(db.parent_path());
    sqlite3* h = nullptr;
    ASSERT_EQ(sqlite3_open(platform::utf8Of(db).c_str(), &h), SQLITE_OK);
    char* err = nullptr;
    const int rc = sqlite3_exec(h, statements.c_str(), nullptr, nullptr, &err);
    EXPECT_EQ(rc, SQLITE_OK) << (err ? err : "") << " in " << db;
    sqlite3_free(err);
    sqlite3_close(h);
}

std::string FirefoxFixture::queryOne(const std::filesystem::path& db, const std::string& select) {
    sqlite3* h = nullptr;
    std::string out;
    if (sqlite3_open_v2(platform::utf8Of(db).c_str(), &h, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(h, select.c_str(), -1, &st, nullptr) == SQLITE_OK && sqlite3_step(st) == SQLITE_ROW) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            out = t ? t : "";
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(h);
    return out;
}

void FirefoxFixture::makeProfile(const std::filesystem::path& folder) {
    sql(folder / "places.sqlite", R"(
        PRAGMA journal_mode = WAL;
        PRAGMA foreign_keys = ON;
        CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT NOT NULL, host TEXT NOT NULL,
            frecency INTEGER NOT NULL, UNIQUE (prefix, host));
        CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url LONGVARCHAR, title LONGVARCHAR,
            rev_host LONGVARCHAR, visit_count INTEGER DEFAULT 0, hidden INTEGER DEFAULT 0 NOT NULL,
            typed INTEGER DEFAULT 0 NOT NULL, frecency INTEGER DEFAULT -1 NOT NULL, last_visit_date INTEGER,
            guid TEXT, foreign_count INTEGER DEFAULT 0 NOT NULL, url_hash INTEGER DEFAULT 0 NOT NULL,
            description TEXT, preview_image_url TEXT, origin_id INTEGER REFERENCES moz_origins(id));
        CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, from_visit INTEGER,
            place_id INTEGER REFERENCES moz_places(id), visit_date INTEGER, visit_type INTEGER, session INTEGER);
        CREATE TABLE moz_inputhistory (place_id INTEGER NOT NULL, input LONGVARCHAR NOT NULL,
            use_count INTEGER, PRIMARY KEY (place_id, input));
        CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, type INTEGER, fk INTEGER DEFAULT NULL, parent INTEGER,
            position INTEGER, title LONGVARCHAR, keyword_id INTEGER, folder_type TEXT, dateAdded INTEGER,
            lastModified INTEGER, guid TEXT);
        CREATE TABLE moz_annos (id INTEGER PRIMARY KEY, place_id INTEGER NOT NULL, anno_attribute_id INTEGER,
            content LONGVARCHAR, flags INTEGER DEFAULT 0, expiration INTEGER DEFAULT 0, type INTEGER DEFAULT 0,
            dateAdded INTEGER DEFAULT 0, lastModified INTEGER DEFAULT 0);
        INSERT INTO moz_origins VALUES (1, 'https://', 'secret-clinic.example', 100), (2, 'https://', 'news.example', 50);
        INSERT INTO moz_places (id, url, title, visit_count, last_visit_date, origin_id)
            VALUES (1, 'https://secret-clinic.example/appointment', 'Appointment', 3, 1700000000000000, 1),
                   (2, 'https://news.example/', 'News', 9, 1700000000000001, 2);
        INSERT INTO moz_historyvisits VALUES (1, 0, 1, 1700000000000000, 1, 0), (2, 0, 2, 1700000000000001, 1, 0);
        INSERT INTO moz_inputhistory VALUES (1, 'secret', 2);
        INSERT INTO moz_bookmarks (id, type, fk, parent, title) VALUES (1, 2, NULL, 0, 'root'), (2, 1, 2, 1, 'News');
        INSERT INTO moz_annos (place_id, content) VALUES (1, 'clinic note'), (2, 'news note');
    )");
    sql(folder / "favicons.sqlite", R"(
        PRAGMA journal_mode = WAL;
        CREATE TABLE moz_icons (id INTEGER PRIMARY KEY, icon_url TEXT NOT NULL, fixed_icon_url_hash INTEGER NOT NULL,
            width INTEGER NOT NULL DEFAULT 0, root INTEGER NOT NULL DEFAULT 0, color INTEGER, expire_ms INTEGER NOT NULL DEFAULT 0,
            data BLOB);
        CREATE TABLE moz_pages_w_icons (id INTEGER PRIMARY KEY, page_url TEXT NOT NULL, page_url_hash INTEGER NOT NULL);
        CREATE TABLE moz_icons_to_pages (page_id INTEGER NOT NULL, icon_id INTEGER NOT NULL, expire_ms INTEGER NOT NULL DEFAULT 0,
            PRIMARY KEY (page_id, icon_id));
        INSERT INTO moz_icons VALUES (1, 'https://secret-clinic.example/favicon.ico', 1, 16, 0, 0, 0, x'00'),
                                     (2, 'https://news.example/favicon.ico', 2, 16, 0, 0, 0, x'00');
        INSERT INTO moz_pages_w_icons VALUES (1, 'https://secret-clinic.example/appointment', 1), (2, 'https://news.example/', 2);
        INSERT INTO moz_icons_to_pages VALUES (1, 1, 0), (2, 2, 0);
    )");
    sql(folder / "cookies.sqlite", R"(
        PRAGMA journal_mode = WAL;
        CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '', name TEXT,
            value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER, creationTime INTEGER,
            isSecure INTEGER, isHttpOnly INTEGER, inBrowserElement INTEGER DEFAULT 0, sameSite INTEGER DEFAULT 0,
            rawSameSite INTEGER DEFAULT 0, schemeMap INTEGER DEFAULT 0,
            CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));
        INSERT INTO moz_cookies (name, value, host, path) VALUES ('sid', 'secret-session', '.secret-clinic.example', '/'),
                                                                 ('pref', 'dark', 'news.example', '/world');
    )");
    sql(folder / "formhistory.sqlite", R"(
        CREATE TABLE moz_formhistory (id INTEGER PRIMARY KEY, fieldname TEXT NOT NULL, value TEXT NOT NULL,
            timesUsed INTEGER, firstUsed INTEGER, lastUsed INTEGER, guid TEXT);
        CREATE TABLE moz_sources (id INTEGER PRIMARY KEY, source TEXT NOT NULL);
        CREATE TABLE moz_history_to_sources (history_id INTEGER, source_id INTEGER, PRIMARY KEY (history_id, source_id));
        INSERT INTO moz_formhistory (fieldname, value) VALUES ('searchbar-history', 'embarrassing search');
        INSERT INTO moz_sources VALUES (1, 'somewhere');
        INSERT INTO moz_history_to_sources VALUES (1, 1);
    )");
}

std::string FirefoxFixture::cacheEntry(const std::string& key, const std::string& data, unsigned version) {
    auto be = [](std::uint32_t v) {
        return std::string{static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                           static_cast<char>(v)};
    };
    std::string out = data;
    const auto metaOffset = static_cast<std::uint32_t>(data.size());
    out += be(0x12345678);  // hash of the metadata
    const std::size_t chunks = (data.size() + 262143) / 262144;
    out += std::string(2 * chunks, '\x11');  // chunk hashes
    out += be(version) + be(1) + be(1700000000) + be(1700000000) + be(0) + be(0xFFFFFFFF) +
           be(static_cast<std::uint32_t>(key.size()));
    if (version >= 2) out += be(0);  // flags
    out += key + std::string(1, '\0');
    out += std::string("request-method") + '\0' + "GET" + '\0';
    out += be(metaOffset);
    return out;
}

void FirefoxFixture::writeCacheEntry(const std::filesystem::path& cacheFolder, const std::string& name,
                                     const std::string& key, const std::string& data) {
    std::filesystem::create_directories(cacheFolder / "cache2" / "entries");
    std::ofstream(cacheFolder / "cache2" / "entries" / name, std::ios::binary) << cacheEntry(key, data);
}

std::string FirefoxFixture::rawBytes(const std::filesystem::path& db) {
    std::string all;
    for (const auto& p : {db, std::filesystem::path(db.string() + "-wal")}) {
        std::ifstream in(p, std::ios::binary);
        all += std::string(std::istreambuf_iterator<char>(in), {});
    }
    return all;
}

}  // namespace quenvor::test
