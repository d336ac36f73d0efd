#pragma once
// Runs deletions on one of a browser's SQLite stores: in a single transaction with
// secure_delete on (removed rows are overwritten in the file), then a TRUNCATE checkpoint so
// they linger neither in the write-ahead log nor in the store's file behind it; a checkpoint
// that cannot finish is a failure. Rows that pointed at removed rows follow them as the
// database's own schema declares. A locked or damaged store is left as it was.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Result.h"

struct sqlite3;

namespace quenvor::cleaning::formats {

class SqliteCleaner {
public:
    // One SQL statement. Text from outside (an address, a host) is never spelt into it: it is
    // bound to the statement's parameters ("?"), which run once per row of values, and not at
    // all for no row; a statement without parameters runs once.
    struct Statement {
        std::string sql;
        std::vector<std::string> needsTables;             // skipped unless every one exists
        std::vector<std::vector<std::string>> rows = {};  // values for the parameters, a row per run
    };
    struct Attachment {
        std::string schema;  // e.g. "fav"
        std::filesystem::path file;
    };

    // The name to open a store by: the folders above it resolved, the store itself as given.
    static std::filesystem::path openable(const std::filesystem::path& db);
    // The rows the DELETE statements removed (not those that followed them by reference).
    // Nothing to do (and no failure) when the file does not exist; a link in its place is refused.
    static platform::Result<std::uint64_t> run(const std::filesystem::path& db,
                                               const std::vector<Statement>& statements,
                                               const std::vector<Attachment>& attachments = {});
    // The rows run() would remove now, found by running the statements and taking them back.
    static platform::Result<std::uint64_t> count(const std::filesystem::path& db,
                                                 const std::vector<Statement>& statements,
                                                 const std::vector<Attachment>& attachments = {});

private:
    static platform::Result<std::uint64_t> execute(const std::filesystem::path& db,
                                                   const std::vector<Statement>& statements,
                                                   const std::vector<Attachment>& attachments, bool dryRun);
};

}  // namespace quenvor::cleaning::formats
