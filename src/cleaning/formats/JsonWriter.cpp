#include "cleaning/formats/JsonWriter.h"

namespace quenvor::cleaning::formats {
namespace {

void quoted(std::string& out, const std::string& s) {
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (const char c : s) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            out += "\\u00";
            out += kHex[u >> 4];
            out += kHex[u & 0xF];
        } else {
            out += c;
        }
    }
    out += '"';
}

// The reader bounds nesting, so this recursion is bounded too.
void put(std::string& out, const JsonValue& v, JsonWriter::Path& at, const std::set<JsonWriter::Path>& omit) {
    switch (v.kind()) {
        case JsonValue::Kind::Null:
            out += "null";
            return;
        case JsonValue::Kind::Bool:
        case JsonValue::Kind::Number:
            out += v.text();
            return;
        case JsonValue::Kind::String:
            quoted(out, v.text());
            return;
        case JsonValue::Kind::Array: {
            out += '[';
            bool first = true;
            for (const auto& item : v.items()) {
                if (!first) out += ',';
                first = false;
                // Items have no names: nothing inside an array is left out.
                static const std::set<JsonWriter::Path> kNone;
                JsonWriter::Path inside;
                put(out, item, inside, kNone);
            }
            out += ']';
            return;
        }
        case JsonValue::Kind::Object: {
            out += '{';
            bool first = true;
            for (const auto& [name, member] : v.members()) {
                at.push_back(name);
                if (!omit.contains(at)) {
                    if (!first) out += ',';
                    first = false;
                    quoted(out, name);
                    out += ':';
                    put(out, member, at, omit);
                }
                at.pop_back();
            }
            out += '}';
            return;
        }
    }
}

}  // namespace

std::string JsonWriter::write(const JsonValue& doc, const std::set<Path>& omit) {
    std::string out;
    Path at;
    put(out, doc, at, omit);
    return out;
}

}  // namespace quenvor::cleaning::formats
