#pragma once
// The registry editor's export format ("Windows Registry Editor Version 5.00"), in which the
// per-user store keeps its keys. Reading never throws: each line it cannot take is returned
// with its number, and the lines it could take are kept.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/RegistryKey.h"

namespace quenvor::platform {

struct RegParseError {
    std::size_t line = 0;  // 1-based
    std::string message;
};

class RegFileFormat {
public:
    struct Parsed {
        std::unique_ptr<RegistryKey> roots;  // never null
        std::vector<RegParseError> errors;   // empty when every line was understood
    };

    static Parsed read(const std::string& text);
    static std::string write(const RegistryKey& roots);
    // "line 3: ..." for the first error, with how many more there are.
    static std::string describe(const std::vector<RegParseError>& errors);
};

}  // namespace quenvor::platform
