#include "cleaning/formats/SqliteCleaner.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <optional>
#include <set>
#include <string_view>

#include "platform/LinkStatus.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::formats {
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

[[nodiscard]] bool exec(sqlite3* db, const std::string& sql) {
    return sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) == SQLITE_OK;
}

// One statement: run once when it has no parameters, else once for each row of values bound to
// them (and not at all for no row). Exactly one statement: text after it would never run. A
// failed step leaves its error on the connection, which finalizing does not clear.
[[nodiscard]] bool execStatement(sqlite3* db, const std::string& sql, const std::vector<std::vector<std::string>>& rows,
                                 std::uint64_t& changed) {
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    bool ok = sqlite3_prepare_v2(db, sql.c_str(), -1, &st, &tail) == SQLITE_OK && st &&
              std::string_view(tail).find_first_not_of(" \t\r\n;") == std::string_view::npos;
    const int params = ok ? sqlite3_bind_parameter_count(st) : 0;
    if (ok && params == 0) ok = rows.empty() && sqlite3_step(st) == SQLITE_DONE;
    if (ok && params == 0) changed += static_cast<std::uint64_t>(sqlite3_changes64(db));
    for (std::size_t r = 0; ok && params > 0 && r < rows.size(); ++r) {
        const auto& row = rows[r];
        ok = static_cast<int>(row.size()) == params;
        for (std::size_t i = 0; ok && i < row.size(); ++i)
            ok = sqlite3_bind_text64(st, static_cast<int>(i + 1), row[i].data(), row[i].size(), SQLITE_TRANSIENT,
                                     SQLITE_UTF8) == SQLITE_OK;
        ok = ok && sqlite3_step(st) == SQLITE_DONE;
        if (ok) changed += static_cast<std::uint64_t>(sqlite3_changes64(db));
        ok = ok && sqlite3_reset(st) == SQLITE_OK;
    }
    sqlite3_finalize(st);
    return ok;
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

// The columns a table's primary key is made of, in key order; "rowid" for a table without one.
std::vector<std::string> primaryKey(sqlite3* db, const std::string& schema, const std::string& table) {
    std::vector<std::pair<int, std::string>> cols;
    const std::string sql = "SELECT pk, name FROM pragma_table_info(?, ?) WHERE pk > 0";
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK) {
        sqlite3_bind_text(st, 1, table.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_text(st, 2, schema.c_str(), -1, SQLITE_TRANSIENT);
        while (sqlite3_step(st) == SQLITE_ROW) {
            const auto* n = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
            cols.emplace_back(sqlite3_column_int(st, 0), n ? n : "");
        }
    }
    sqlite3_finalize(st);
    std::sort(cols.begin(), cols.end());
    std::vector<std::string> out;
    out.reserve(cols.size() + 1);
    for (auto& c : cols) out.emplace_back(std::move(c.second));
    if (out.empty()) out.emplace_back("rowid");
    return out;
}

std::string ident(const std::string& name) {
    std::string out = "\"";
    for (char c : name) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

struct Reference {
    std::string schema, child, parent, onDelete;
    std::vector<std::string> from, to;
};

// Every reference the schema itself declares from one table to another.
std::vector<Reference> references(sqlite3* db, const std::vector<std::string>& schemas) {
    std::vector<Reference> out;
    for (const auto& schema : schemas) {
        const std::string sql = "SELECT m.name, f.id, f.\"table\", f.\"from\", f.\"to\", f.on_delete FROM " + schema +
                                ".sqlite_master AS m, pragma_foreign_key_list(m.name, ?) AS f "
                                "WHERE m.type = 'table' ORDER BY m.name, f.id, f.seq";
        sqlite3_stmt* st = nullptr;
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
            sqlite3_finalize(st);
            continue;
        }
        sqlite3_bind_text(st, 1, schema.c_str(), -1, SQLITE_TRANSIENT);
        std::string lastChild;
        int lastId = -1;
        while (sqlite3_step(st) == SQLITE_ROW) {
            auto text = [&](int i) {
                const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(st, i));
                return std::string(t ? t : "");
            };
            const std::string child = text(0);
            const int id = sqlite3_column_int(st, 1);
            if (out.empty() || child != lastChild || id != lastId || out.back().schema != schema)
                out.push_back({schema, child, text(2), text(5), {}, {}});
            out.back().from.push_back(text(3));
            out.back().to.push_back(text(4));
            lastChild = child;
            lastId = id;
        }
        sqlite3_finalize(st);
    }
    for (auto& r : out) {
        // A reference that names no column points at the parent's primary key.
        if (std::all_of(r.to.begin(), r.to.end(), [](const auto& t) { return t.empty(); }))
            r.to = primaryKey(db, r.schema, r.parent);
    }
    return out;
}

std::string columns(const std::vector<std::string>& names, const std::string& table = "") {
    std::string out;
    for (const auto& n : names) out += (out.empty() ? "" : ", ") + (table.empty() ? "" : table + ".") + ident(n);
    return names.size() > 1 ? "(" + out + ")" : out;
}

// The rows left pointing at removed rows go as the schema says they would (set to NULL, or
// removed with what they point to), until no reference is left dangling.
bool followReferences(sqlite3* db, const std::vector<std::string>& schemas, const std::set<std::string>& touched) {
    const auto refs = references(db, schemas);
    std::set<std::string> changed = touched;
    for (int pass = 0; pass < 16 && !changed.empty(); ++pass) {
        std::set<std::string> next;
        for (const auto& r : refs) {
            const std::string parent = (r.schema == "main" ? "" : r.schema + ".") + r.parent;
            const std::string child = (r.schema == "main" ? "" : r.schema + ".") + r.child;
            if (!changed.contains(parent) || r.from.size() != r.to.size()) continue;
            const std::string table = r.schema + "." + ident(r.child);
            std::string notNull;
            for (const auto& f : r.from)
                notNull.append(notNull.empty() ? "" : " AND ").append(ident(f)).append(" IS NOT NULL");
            std::string dangling = notNull;
            dangling.append(" AND ").append(columns(r.from)).append(" NOT IN (SELECT ").append(columns(r.to));
            dangling.append(" FROM ").append(r.schema).append(".").append(ident(r.parent)).append(")");
            std::string sql;
            if (r.onDelete == "SET NULL") {
                std::string set;
                for (const auto& f : r.from) set.append(set.empty() ? "" : ", ").append(ident(f)).append(" = NULL");
                sql.append("UPDATE ").append(table).append(" SET ").append(set).append(" WHERE ").append(dangling);
            } else {
                sql.append("DELETE FROM ").append(table).append(" WHERE ").append(dangling);
            }
            if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) return false;
            if (sqlite3_changes(db) > 0) next.insert(child);
        }
        changed = std::move(next);
    }
    return true;
}

// The table a DELETE removes rows from, as needsTables names it.
std::optional<std::string> deletedTable(const std::string& sql) {
    const std::string head = "DELETE FROM ";
    if (sql.compare(0, head.size(), head) != 0) return std::nullopt;
    const auto end = sql.find(' ', head.size());
    return sql.substr(head.size(), end == std::string::npos ? std::string::npos : end - head.size());
}

}  // namespace

std::filesystem::path SqliteCleaner::openable(const std::filesystem::path& file) {
    // SQLite's no-follow flag refuses a link in any part of the name; the folders above the
    // store may be links (a home reached through one), so they are resolved first and only the
    // store itself is held to it.
    std::error_code ec;
    const auto parent = std::filesystem::weakly_canonical(std::filesystem::absolute(file, ec).parent_path(), ec);
    return ec ? file : parent / file.filename();
}

platform::Result<std::uint64_t> SqliteCleaner::run(const std::filesystem::path& file,
                                                   const std::vector<Statement>& statements,
                                                   const std::vector<Attachment>& attachments) {
    return execute(file, statements, attachments, false);
}

platform::Result<std::uint64_t> SqliteCleaner::count(const std::filesystem::path& file,
                                                     const std::vector<Statement>& statements,
                                                     const std::vector<Attachment>& attachments) {
    return execute(file, statements, attachments, true);
}

platform::Result<std::uint64_t> SqliteCleaner::execute(const std::filesystem::path& file,
                                                       const std::vector<Statement>& statements,
                                                       const std::vector<Attachment>& attachments, bool dryRun) {
    std::error_code ec;
    const auto kind = std::filesystem::symlink_status(file, ec);
    // A store replaced by a link could lead anywhere: it is named, never opened.
    if (std::filesystem::is_symlink(kind) || platform::isLink(file))
        return platform::Error{ELOOP,
                               platform::utf8Of(file.filename()) + ": open: a symbolic link, not the store itself"};
    // A store that cannot even be looked at (a folder on the way the user may not search) is not
    // one that was cleaned.
    if (ec && kind.type() != std::filesystem::file_type::not_found)
        return platform::Error{ec.value(), platform::utf8Of(file.filename()) + ": examine: " + ec.message()};
    if (!std::filesystem::is_regular_file(kind)) return std::uint64_t{0};
    Connection c;
    const auto path = platform::utf8Of(openable(file));
    if (sqlite3_open_v2(path.c_str(), &c.db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK)
        return failure(c.db, file, "open");
    sqlite3_busy_timeout(c.db, 500);
    // Reading the schema also tells whether this is a database at all, before another file is
    // attached and could be blamed for this one's damage.
    if (!exec(c.db, "SELECT count(*) FROM main.sqlite_master")) return failure(c.db, file, "read");
    std::vector<std::string> schemas = {"main"};
    for (const auto& a : attachments) {
        if (!std::filesystem::is_regular_file(std::filesystem::symlink_status(a.file, ec)) || platform::isLink(a.file))
            continue;
        sqlite3_stmt* st = nullptr;
        const std::string sql = "ATTACH DATABASE ? AS " + a.schema;
        if (sqlite3_prepare_v2(c.db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) return failure(c.db, file, "attach");
        sqlite3_bind_text(st, 1, platform::utf8Of(openable(a.file)).c_str(), -1, SQLITE_TRANSIENT);
        const int rc = sqlite3_step(st);
        sqlite3_finalize(st);
        if (rc != SQLITE_DONE) return failure(c.db, a.file, "attach");
        if (!exec(c.db, "SELECT count(*) FROM " + a.schema + ".sqlite_master")) return failure(c.db, a.file, "read");
        schemas.push_back(a.schema);
    }
    // Counting takes everything back, so it need not overwrite what it frees, nor let changes it
    // will undo reach the store's file before the end (the pages it changes stay in memory).
    for (const auto& schema : schemas)
        if (!exec(c.db, "PRAGMA " + schema + ".secure_delete = " + (dryRun ? "OFF" : "ON")))
            return failure(c.db, file, "prepare");
    if (dryRun && !exec(c.db, "PRAGMA cache_spill = OFF")) return failure(c.db, file, "prepare");
    // What a statement keeps aside for itself (the addresses to keep) never reaches a file.
    if (!exec(c.db, "PRAGMA temp_store = MEMORY")) return failure(c.db, file, "prepare");
    const auto present = tables(c.db, schemas);
    std::set<std::string> touched;
    std::uint64_t removed = 0;
    if (!exec(c.db, "BEGIN IMMEDIATE")) return failure(c.db, file, "lock");
    for (const auto& s : statements) {
        bool ready = true;
        for (const auto& t : s.needsTables) ready = ready && present.contains(t);
        if (!ready) continue;
        // Rows a statement keeps aside or resets are not rows removed.
        std::uint64_t changed = 0;
        if (!execStatement(c.db, s.sql, s.rows, changed)) {
            auto err = failure(c.db, file, "delete");
            (void)exec(c.db, "ROLLBACK");  // the failure is told; a rollback that fails leaves the journal to do it
            return err;
        }
        if (auto t = deletedTable(s.sql)) {
            touched.insert(*t);
            removed += changed;
        }
    }
    if (!followReferences(c.db, schemas, touched)) {
        auto err = failure(c.db, file, "delete");
        (void)exec(c.db, "ROLLBACK");
        return err;
    }
    // Counting runs the very statements, references followed, and takes it all back: the count is
    // what the run will remove, not an estimate of it.
    if (dryRun) {
        if (!exec(c.db, "ROLLBACK")) return failure(c.db, file, "count");
        return removed;
    }
    if (!exec(c.db, "COMMIT")) {
        auto err = failure(c.db, file, "commit");
        (void)exec(c.db, "ROLLBACK");
        return err;
    }
    // Until the write-ahead log is folded back in, the store's own file still holds the removed
    // rows: a reader that keeps the log from being folded (the checkpoint waits for it as long as
    // for a lock) leaves them there, which is said. A store without a log has nothing to fold.
    for (const auto& schema : schemas)
        if (sqlite3_wal_checkpoint_v2(c.db, schema.c_str(), SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr) != SQLITE_OK)
            return failure(c.db, file, "checkpoint, so the removed rows are still in the file");
    return removed;
}

}  // namespace quenvor::cleaning::formats
