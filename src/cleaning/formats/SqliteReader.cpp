#include "cleaning/formats/SqliteReader.h"

#include <sqlite3.h>

#include <cerrno>

#include "cleaning/formats/SqliteCleaner.h"
#include "platform/LinkStatus.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::formats {

namespace {

class Connection {
public:
    ~Connection() {
        if (st) sqlite3_finalize(st);
        if (db) sqlite3_close_v2(db);
    }
    sqlite3* db = nullptr;
    sqlite3_stmt* st = nullptr;
};

platform::Error failure(sqlite3* db, const std::filesystem::path& file) {
    return platform::Error{db ? sqlite3_extended_errcode(db) : SQLITE_CANTOPEN,
                           platform::utf8Of(file.filename()) + ": read: " + (db ? sqlite3_errmsg(db) : "cannot open")};
}

}  // namespace

platform::Result<SqliteReader::Rows> SqliteReader::rows(const std::filesystem::path& db, const std::string& table,
                                                        const std::string& sql,
                                                        const std::vector<std::string>& params) {
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(db, ec);
    if (!std::filesystem::exists(st)) return Rows{};
    if (std::filesystem::is_symlink(st) || platform::isLink(db))
        return platform::Error{ELOOP,
                               platform::utf8Of(db.filename()) + ": open: a symbolic link, not the store itself"};
    if (!std::filesystem::is_regular_file(st))
        return platform::Error{ELOOP, platform::utf8Of(db.filename()) + ": not a plain file"};
    Connection c;
    if (sqlite3_open_v2(platform::utf8Of(SqliteCleaner::openable(db)).c_str(), &c.db,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK)
        return failure(c.db, db);
    sqlite3_busy_timeout(c.db, 500);
    const char* exists = "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?";
    if (sqlite3_prepare_v2(c.db, exists, -1, &c.st, nullptr) != SQLITE_OK) return failure(c.db, db);
    sqlite3_bind_text(c.st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    const int found = sqlite3_step(c.st);
    if (found == SQLITE_DONE) return Rows{};
    if (found != SQLITE_ROW) return failure(c.db, db);
    sqlite3_finalize(c.st);
    c.st = nullptr;
    if (sqlite3_prepare_v2(c.db, sql.c_str(), -1, &c.st, nullptr) != SQLITE_OK) return failure(c.db, db);
    for (std::size_t i = 0; i < params.size(); ++i)
        sqlite3_bind_text64(c.st, static_cast<int>(i + 1), params[i].data(), params[i].size(), SQLITE_TRANSIENT,
                            SQLITE_UTF8);
    Rows out;
    int step = 0;
    while ((step = sqlite3_step(c.st)) == SQLITE_ROW) {
        std::vector<std::string> row;
        const int n = sqlite3_column_count(c.st);
        for (int i = 0; i < n; ++i) {
            const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(c.st, i));
            row.emplace_back(t ? std::string(t, static_cast<std::size_t>(sqlite3_column_bytes(c.st, i))) : "");
        }
        out.push_back(std::move(row));
    }
    if (step != SQLITE_DONE) return failure(c.db, db);
    return out;
}

platform::Result<std::vector<std::string>> SqliteReader::column(const std::filesystem::path& db,
                                                                const std::string& table, const std::string& select) {
    auto all = rows(db, table, select);
    if (!all) return all.error();
    std::vector<std::string> out;
    out.reserve(all->size());
    for (auto& r : *all) out.push_back(r.empty() ? std::string() : std::move(r.front()));
    return out;
}

}  // namespace quenvor::cleaning::formats
