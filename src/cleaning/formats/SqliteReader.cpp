#include "cleaning/formats/SqliteReader.h"

#include <sqlite3.h>

#include <cerrno>

#include "cleaning/formats/SqliteCleaner.h"
#include "platform/LinkStatus.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::formats {

platform::Result<std::vector<std::string>> SqliteReader::column(const std::filesystem::path& db,
                                                                const std::string& table, const std::string& select) {
    std::error_code ec;
    const auto st = std::filesystem::symlink_status(db, ec);
    if (ec || !std::filesystem::exists(st)) return std::vector<std::string>{};
    if (platform::isLink(db))
        return platform::Error{ELOOP, platform::utf8Of(db.filename()) + ": a symbolic link, not followed"};
    sqlite3* h = nullptr;
    auto fail = [&](const std::string& step) {
        std::string why = h ? sqlite3_errmsg(h) : "cannot open";
        const int code = h ? sqlite3_extended_errcode(h) : SQLITE_CANTOPEN;
        if ((code & 0xFF) == SQLITE_BUSY || (code & 0xFF) == SQLITE_LOCKED)
            why = "locked by another program (" + why + ")";
        if ((code & 0xFF) == SQLITE_CORRUPT || (code & 0xFF) == SQLITE_NOTADB) why = "damaged (" + why + ")";
        sqlite3_close_v2(h);
        return platform::Error{code, platform::utf8Of(db.filename()) + ": " + step + ": " + why};
    };
    if (sqlite3_open_v2(platform::utf8Of(SqliteCleaner::openable(db)).c_str(), &h,
                        SQLITE_OPEN_READONLY | SQLITE_OPEN_NOFOLLOW, nullptr) != SQLITE_OK)
        return fail("open");
    sqlite3_busy_timeout(h, 2000);
    std::vector<std::string> out;
    sqlite3_stmt* st2 = nullptr;
    bool hasTable = false;
    if (sqlite3_prepare_v2(h, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?", -1, &st2, nullptr) !=
        SQLITE_OK)
        return fail("read");
    sqlite3_bind_text(st2, 1, table.c_str(), -1, SQLITE_TRANSIENT);
    const int found = sqlite3_step(st2);
    hasTable = found == SQLITE_ROW;
    sqlite3_finalize(st2);
    if (found != SQLITE_ROW && found != SQLITE_DONE) return fail("read");
    if (!hasTable) {
        sqlite3_close_v2(h);
        return out;
    }
    sqlite3_stmt* q = nullptr;
    if (sqlite3_prepare_v2(h, select.c_str(), -1, &q, nullptr) != SQLITE_OK) return fail("read");
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(q)) == SQLITE_ROW) {
        const auto* t = reinterpret_cast<const char*>(sqlite3_column_text(q, 0));
        out.emplace_back(t ? t : "");
    }
    sqlite3_finalize(q);
    if (rc != SQLITE_DONE) return fail("read");
    sqlite3_close_v2(h);
    return out;
}

}  // namespace quenvor::cleaning::formats
