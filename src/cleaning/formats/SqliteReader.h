#pragma once
// Reads one column of a browser's SQLite store without changing it, for what a cleaning step
// would remove before it removes anything. Opened read-only and never through a link in the
// store's own place, like SqliteCleaner.
#include <filesystem>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace quenvor::cleaning::formats {

class SqliteReader {
public:
    // The first column of every row `select` yields (NULL read as empty), or nothing at all when
    // the store does not exist or lacks `table`. A locked, damaged or linked store is a failure.
    static platform::Result<std::vector<std::string>> column(const std::filesystem::path& db, const std::string& table,
                                                             const std::string& select);
};

}  // namespace quenvor::cleaning::formats
