#pragma once
// Writes a document read by JsonValue back out, compact as the browsers write their own files,
// with members left out by their path of names. Members keep their order, numbers their
// spelling and strings their text, so what is not left out means what it meant before.
#include <set>
#include <string>
#include <vector>

#include "cleaning/formats/JsonValue.h"

namespace quenvor::cleaning::formats {

class JsonWriter {
public:
    // A member's names from the document's top, e.g. {"profile", "content_settings", ...}.
    using Path = std::vector<std::string>;
    static std::string write(const JsonValue& doc, const std::set<Path>& omit = {});
};

}  // namespace quenvor::cleaning::formats
