// Build-time tool: turns resources/strings.txt into C++ source holding the string table
// as blocks of 16 length-prefixed UTF-16LE records, one set of blocks per language; for an
// output named *.rc, into a resource script with one STRINGTABLE per language, which the
// resource compiler turns into exactly those blocks; for an output named *.h, into the header
// that gives every id its name (quenvor::text::Name), rewritten only when a name or an id
// changed so that editing a text does not rebuild the program.
// An entry may carry a system ("<id> <language> linux "<text>""): the table built for that
// system (--system=linux|windows, by default the one the tool itself runs on) takes that text
// instead of the plain one, so a text can be true on each system under one id.
#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/TextEncoding.h"

namespace {

struct Fail {
    std::string message;
};

std::string at(int line) { return " on line " + std::to_string(line); }

std::u16string toUtf16(const std::string& s, int line) {
    auto text = quenvor::platform::utf8ToUtf16Exact(s);
    if (!text) throw Fail{"invalid UTF-8" + at(line)};
    return *text;
}

// The text of an entry line: everything between the first and the last double quote.
std::string quoted(const std::string& line, int lineNo) {
    const auto first = line.find('"');
    const auto last = line.rfind('"');
    if (first == std::string::npos || last == first) throw Fail{"expected a quoted text" + at(lineNo)};
    return line.substr(first + 1, last - first - 1);
}

// The words before the quoted text (or all of them on a line without one).
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    const std::string head = line.substr(0, line.find('"'));
    std::istringstream in(head);
    for (std::string w; in >> w;) out.push_back(w);
    return out;
}

// A whole word as a number in [0, max], nothing else accepted.
bool number(const std::string& w, int max, int& out) {
    int n = 0;
    const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), n);
    if (ec != std::errc() || end != w.data() + w.size() || n < 0 || n > max) return false;
    out = n;
    return true;
}

// A name is a C++ identifier in PascalCase: a capital letter, then letters and digits.
bool pascalCase(const std::string& w) {
    if (w.empty() || !std::isupper(static_cast<unsigned char>(w[0]))) return false;
    return std::all_of(w.begin(), w.end(), [](char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0; });
}

using Texts = std::map<int, std::map<int, std::u16string>>;  // language id -> id -> text

// The systems a text may be given for.
const std::set<std::string> kSystems = {"linux", "windows"};

struct Table {
    std::map<std::string, int> languages;  // code -> language id
    Texts texts;
    std::map<std::string, Texts> variants;  // system -> its own texts
    std::map<int, std::string> names;       // id -> name
    std::map<int, int> nameLines;           // id -> line of its name
};

void parseName(Table& t, const std::vector<std::string>& w, int lineNo) {
    int id = 0;
    if (w.size() != 3 || !number(w[1], 0xFFFF, id)) throw Fail{"expected \"name <id> <Name>\"" + at(lineNo)};
    if (!pascalCase(w[2])) throw Fail{"the name '" + w[2] + "' is not PascalCase" + at(lineNo)};
    if (t.names.count(id)) throw Fail{"id " + w[1] + " named twice" + at(lineNo)};
    for (const auto& [other, name] : t.names)
        if (name == w[2])
            throw Fail{"the name " + name + " is given to " + std::to_string(other) + " and " + w[1] + at(lineNo)};
    t.names[id] = w[2];
    t.nameLines[id] = lineNo;
}

// Every id has a name and a text in every language; a name without texts is a mistake too.
void checkComplete(const Table& t) {
    // A system's text stands in for a plain one, in every language, or one language would
    // say something only true of another system.
    for (const auto& [system, byLang] : t.variants) {
        std::set<int> varied;
        for (const auto& [lang, texts] : byLang)
            for (const auto& [id, text] : texts) varied.insert(id);
        for (int id : varied)
            for (const auto& [code, lang] : t.languages) {
                const auto it = byLang.find(lang);
                if (it == byLang.end() || !it->second.count(id))
                    throw Fail{"id " + std::to_string(id) + " has a " + system + " text but none in '" + code + "'"};
                if (!t.texts.count(lang) || !t.texts.at(lang).count(id))
                    throw Fail{"id " + std::to_string(id) + " has a " + system + " text in '" + code +
                               "' but no plain one"};
            }
    }
    std::set<int> ids;
    for (const auto& [lang, texts] : t.texts)
        for (const auto& [id, text] : texts) ids.insert(id);
    for (const auto& [id, line] : t.nameLines)
        if (!ids.count(id)) throw Fail{"id " + std::to_string(id) + " is named but has no text" + at(line)};
    for (int id : ids) {
        if (!t.names.count(id)) throw Fail{"id " + std::to_string(id) + " has no name (add \"name <id> <Name>\")"};
        for (const auto& [code, lang] : t.languages) {
            const auto it = t.texts.find(lang);
            if (it == t.texts.end() || !it->second.count(id))
                throw Fail{"id " + std::to_string(id) + " (" + t.names.at(id) + ") has no text in '" + code + "'"};
        }
    }
}

// The texts the program of `system` carries.
void choose(Table& t, const std::string& system) {
    const auto it = t.variants.find(system);
    if (it == t.variants.end()) return;
    for (const auto& [lang, texts] : it->second)
        for (const auto& [id, text] : texts) t.texts[lang][id] = text;
}

Table parse(std::istream& in) {
    Table t;
    std::string line;
    int lineNo = 0;
    std::u16string* last = nullptr;  // the entry a "+" line continues
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        if (line[p] == '+') {
            if (!last) throw Fail{"continuation without an entry" + at(lineNo)};
            *last += u'\n';
            *last += toUtf16(quoted(line, lineNo), lineNo);
            continue;
        }
        const auto w = words(line);
        if (w.empty()) throw Fail{"expected an entry id" + at(lineNo)};
        if (w[0] == "language") {
            int id = 0;
            if (w.size() != 3 || !number(w[2], 0xFFFF, id) || id == 0) throw Fail{"bad language id" + at(lineNo)};
            t.languages[w[1]] = id;
            continue;
        }
        if (w[0] == "name") {
            parseName(t, w, lineNo);
            last = nullptr;
            continue;
        }
        int id = 0;
        if (!number(w[0], 0xFFFF, id)) throw Fail{"expected an entry id" + at(lineNo)};
        if (w.size() != 2 && w.size() != 3)
            throw Fail{"expected \"<id> <language> [<system>] \"<text>\"\"" + at(lineNo)};
        auto lang = t.languages.find(w[1]);
        if (lang == t.languages.end()) throw Fail{"unknown language '" + w[1] + "'" + at(lineNo)};
        if (w.size() == 3 && !kSystems.count(w[2])) throw Fail{"unknown system '" + w[2] + "'" + at(lineNo)};
        auto& slot = (w.size() == 3 ? t.variants[w[2]] : t.texts)[lang->second];
        if (slot.count(id))
            throw Fail{"duplicate entry " + w[0] + " " + w[1] + (w.size() == 3 ? " " + w[2] : "") + at(lineNo)};
        const auto text = toUtf16(quoted(line, lineNo), lineNo);
        if (text.size() > 0xFFFF) throw Fail{"text too long" + at(lineNo)};
        last = &(slot[id] = text);
    }
    checkComplete(t);
    return t;
}

std::vector<unsigned char> encodeBlock(const std::map<int, std::u16string>& texts, int block) {
    std::vector<unsigned char> bytes;
    for (int n = (block - 1) * 16; n < block * 16; ++n) {
        auto it = texts.find(n);
        const std::u16string text = it == texts.end() ? std::u16string() : it->second;
        bytes.push_back(static_cast<unsigned char>(text.size() & 0xFF));
        bytes.push_back(static_cast<unsigned char>(text.size() >> 8));
        for (char16_t u : text) {
            bytes.push_back(static_cast<unsigned char>(u & 0xFF));
            bytes.push_back(static_cast<unsigned char>(u >> 8));
        }
    }
    return bytes;
}

// A text as a wide resource-script string. Only printable ASCII is written as itself, so the
// script means the same whatever code page the resource compiler assumes; every other code
// unit is a hex escape of exactly four digits, which in a wide string ends there, so a
// following letter a-f is never read as part of it.
std::string rcString(const std::u16string& text) {
    std::string out = "L\"";
    for (char16_t u : text) {
        if (u == u'"') {
            out += "\"\"";
        } else if (u == u'\\') {
            out += "\\\\";
        } else if (u >= 0x20 && u < 0x7F) {
            out += static_cast<char>(u);
        } else {
            char buf[16];
            std::snprintf(buf, sizeof buf, "\\x%04x", static_cast<unsigned>(u));
            out += buf;
        }
    }
    return out + "\"";
}

std::string resourceScript(const Table& t) {
    std::ostringstream out;
    out << "// Generated from strings.txt by StringTableCompiler. Do not edit.\n";
    for (const auto& [code, lang] : t.languages) {
        out << "\n// " << code << "\nLANGUAGE " << (lang & 0x3FF) << ", " << (lang >> 10) << "\nSTRINGTABLE\nBEGIN\n";
        if (t.texts.count(lang))
            for (const auto& [id, text] : t.texts.at(lang)) out << "    " << id << ", " << rcString(text) << "\n";
        out << "END\n";
    }
    return out.str();
}

std::string idHeader(const Table& t) {
    std::ostringstream out;
    out << "// Generated from strings.txt by StringTableCompiler. Do not edit.\n"
           "// Every entry of the string table by the name strings.txt gives it.\n"
           "#pragma once\n\nnamespace quenvor::text {\n\n";
    for (const auto& [id, name] : t.names) out << "inline constexpr int " << name << " = " << id << ";\n";
    out << "\n}  // namespace quenvor::text\n";
    return out.str();
}

// Leaves the file and its time alone when it already says the same.
void writeIfChanged(const std::string& path, const std::string& content) {
    {
        std::ifstream old(path, std::ios::binary);
        if (old && std::string(std::istreambuf_iterator<char>(old), {}) == content) return;
    }
    std::ofstream o(path, std::ios::binary | std::ios::trunc);
    o << content;
    if (!o) throw Fail{"cannot write " + path};
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    std::string system = "windows";
#else
    std::string system = "linux";
#endif
    const std::string_view option = "--system=";
    if (argc == 4 && std::string_view(argv[1]).substr(0, option.size()) == option) {
        system = std::string(argv[1] + option.size());
        ++argv;
        --argc;
    }
    if (argc != 3 || !kSystems.count(system)) {
        std::cerr << "usage: StringTableCompiler [--system=linux|windows] <strings.txt> <output.cpp | output.rc | "
                     "output.h>\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw Fail{std::string("cannot read ") + argv[1]};
        Table t = parse(in);
        choose(t, system);
        if (endsWith(argv[2], ".h")) {
            writeIfChanged(argv[2], idHeader(t));
            return 0;
        }
        if (endsWith(argv[2], ".rc")) {
            std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
            o << resourceScript(t);
            if (!o) throw Fail{std::string("cannot write ") + argv[2]};
            return 0;
        }
        int minBlock = 0x10000, maxBlock = 0;
        for (const auto& [lang, texts] : t.texts)
            for (const auto& [id, text] : texts) {
                minBlock = std::min(minBlock, id / 16 + 1);
                maxBlock = std::max(maxBlock, id / 16 + 1);
            }
        std::ostringstream out;
        out << "// Generated from strings.txt by StringTableCompiler. Do not edit.\n"
               "#include \"platform/EmbeddedStringBlocks.h\"\n\n"
               "namespace quenvor::platform {\nnamespace {\n";
        std::ostringstream index;
        int count = 0;
        for (const auto& [code, lang] : t.languages) {
            (void)code;
            const auto& texts = t.texts.count(lang) ? t.texts.at(lang) : std::map<int, std::u16string>{};
            for (int b = minBlock; b <= maxBlock; ++b) {
                const auto bytes = encodeBlock(texts, b);
                out << "const unsigned char kBlock_" << lang << "_" << b << "[] = {";
                for (std::size_t i = 0; i < bytes.size(); ++i) {
                    if (i % 16 == 0) out << "\n    ";
                    out << static_cast<int>(bytes[i]) << ",";
                }
                out << "\n};\n";
                index << "    {" << lang << ", " << b << ", kBlock_" << lang << "_" << b << ", sizeof(kBlock_" << lang
                      << "_" << b << ")},\n";
                ++count;
            }
        }
        out << "const EmbeddedStringBlock kBlocks[] = {\n"
            << index.str() << "};\n}  // namespace\n\n"
            << "std::span<const EmbeddedStringBlock> embeddedStringBlocks() {\n"
            << "    return {kBlocks, " << count << "};\n}\n\n}  // namespace quenvor::platform\n";
        std::ofstream o(argv[2], std::ios::binary | std::ios::trunc);
        o << out.str();
        if (!o) throw Fail{std::string("cannot write ") + argv[2]};
    } catch (const Fail& f) {
        std::cerr << argv[1] << ": " << f.message << "\n";
        return 1;
    }
    return 0;
}
