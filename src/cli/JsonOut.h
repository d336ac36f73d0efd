#pragma once
// A JSON document written as it is built, for the console's machine-readable reports: objects
// and arrays opened and closed in order, strings escaped, commas where they belong.
#include <cstdint>
#include <string>
#include <vector>

namespace quenvor::cli {

class JsonOut {
public:
    JsonOut& beginObject(const std::string& key = {});
    JsonOut& endObject();
    JsonOut& beginArray(const std::string& key = {});
    JsonOut& endArray();
    JsonOut& value(const std::string& key, const std::string& text);
    JsonOut& value(const std::string& key, const char* text) { return value(key, std::string(text)); }
    JsonOut& value(const std::string& key, std::uint64_t n);
    JsonOut& value(const std::string& key, int n);
    JsonOut& value(const std::string& key, bool b);
    // One decimal, whatever the locale: a comma would break the number.
    JsonOut& value(const std::string& key, double d);
    // An array member without a key.
    JsonOut& item(const std::string& text) { return value({}, text); }

    std::string text() const { return m_out + "\n"; }
    static std::string quoted(const std::string& text);

private:
    void member(const std::string& key);

    std::string m_out;
    std::vector<bool> m_first;  // per open container: nothing written in it yet
};

}  // namespace quenvor::cli
