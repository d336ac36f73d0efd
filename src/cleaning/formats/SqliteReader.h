#pragma once
// Reads rows from one of a browser's SQLite stores without changing it, for working out what a
// cleaning would take before it runs. Values from outside are bound, never spelt into the SQL.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quenvor::cleaning::formats {

class SqliteReader {
public:
    using Rows = std::vector<std::vector<std::string>>;  // each column as text, NULL as ""
    // No rows (and no failure) when the store or `table` does not exist; a link in the store's
    // place is refused.
    static platform::Result<Rows> rows(const std::filesystem::path& db, const std::string& table,
                                       const std::string& sql, const std::vector<std::string>& params = {});
    // The first column of every row `select` yields, the same way.
    static platform::Result<std::vector<std::string>> column(const std::filesystem::path& db, const std::string& table,
                                                             const std::string& select);
};

}  // namespace quenvor::cleaning::formats
