#include "cleaning/SqliteCleaner.h"

#include <sqlite3.h>

#include <set>

#include "platform/Utf8Path.h"

namespace quenvor::cleaning {
namespace {

class Connection {
public:
    ~Connection() {
        if (db) sqlite3_close_v2(db);
    }
    sqlite3* db = nullptr;
};

platform::Error failure(sqlite3* db, const std::filesystem::path& file, const std::string& step) {
    const int code = db ? sqlite3_extended_errcode(db) : SQLITE_CANTOPEN;
    std::string why = db ? sqlite3_errmsg(db) : "cannot open";
    if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED) why = "locked by another program (" + why + ")";
    if ((code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB) why = "damaged (" + why + ")";
    return platform::Error{code, platform::utf8Of(file.filename()) + ": " + step + ": " + why};
}

bool exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::set<std::string> tables(sqlite3* db, const std::vector<std::string>& schemas) {
    std::set<std::string> names;
    for (const auto& schema : schemas) {
        const std::string sql = "SELECT name FROM " + schema + ".sqlite_master WHERE type = 'table'";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) continue;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* n = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
            if (n) names.insert((schema == "main" ? std::string() : schema + ".") + n);
        }
        sqlite3_finalize(st);
    }
    return names;
}

}  // namespace

platform::Status SqliteCleaner::run(const std::filesystem::path& file, const std::vector<Statement>& statements,
                                    const std::vector<Attachment>& attachments) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(file, ec))) return {};
    Connection c;
    if (sqlite3_open_v2(platform::utf8Of(file).c_str(), &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) !=
        SQLITE_OK)
        return failure(c.db, file, "open");
    sqlite3_busy_timeout(c.db, 500);
    std::vector<std::string> schemas = {"main"};
    for (const auto& a : attachments) {
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(a.file, ec))) continue;
        sqlite3_stmt* st = nullptr;
        const std::string sql = "ATTACH DATABASE ? AS " + a.schema;
        if (sqlite3_prepare_v2(c.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return failure(c.db, file, "attach");
        sqlite3_bind_text(st, 1, platform::utf8Of(a.file).c_str(), -1, SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return failure(c.db, a.file, "attach");
        schemas.push_back(a.schema);
    }
    for (const auto& schema : schemas)
        if (!exec(c.db, "PRAGMA " + schema + ".secure_delete = ON")) return failure(c.db, file, "prepare");
    // Reading the schema also tells whether this is a database at all.
    if (!exec(c.db, "SELECT count(*) FROM sqlite_master")) return failure(c.db, file, "read");
    const auto present = tables(c.db, schemas);
    if (!exec(c.db, "BEGIN IMMEDIATE")) return failure(c.db, file, "lock");
    for (const auto& s : statements) {
        bool ready = true;
        for (const auto& t : s.needsTables) ready = ready && present.count(t);
        if (!ready) continue;
        if (!exec(c.db, s.sql)) {
            auto err = failure(c.db, file, "delete");
            exec(c.db, "ROLLBACK");
            return err;
        }
    }
    if (!exec(c.db, "COMMIT")) {
        auto err = failure(c.db, file, "commit");
        exec(c.db, "ROLLBACK");
        return err;
    }
    for (const auto& schema : schemas) exec(c.db, "PRAGMA " + schema + ".wal_checkpoint(TRUNCATE)");
    return {};
}

}  // namespace quenvor::cleaning
