// Build-time tool: turns resources/strings.txt into C++ source holding the string table
// as blocks of 16 length-prefixed UTF-16LE records, one set of blocks per language, or, for
// an output named *.rc, into a resource script with one STRINGTABLE per language, which the
// resource compiler turns into exactly those blocks.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "platform/TextEncoding.h"

namespace {

struct Fail {
    std::string message;
};

std::u16string toUtf16(const std::string& s, int line) {
    auto text = quenvor::platform::utf8ToUtf16Exact(s);
    if (!text) throw Fail{"invalid UTF-8 on line " + std::to_string(line)};
    return *text;
}

// The text of an entry line: everything between the first and the last double quote.
std::string quoted(const std::string& line, int lineNo) {
    const auto first = line.find('"');
    const auto last = line.rfind('"');
    if (first == std::string::npos || last == first)
        throw Fail{"expected a quoted text on line " + std::to_string(lineNo)};
    return line.substr(first + 1, last - first - 1);
}

struct Table {
    std::map<std::string, int> languages;                // code -> language id
    std::map<int, std::map<int, std::u16string>> texts;  // language id -> id -> text
};

Table parse(std::istream& in) {
    Table t;
    std::string line;
    int lineNo = 0;
    int lastLang = -1;
    int lastId = -1;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::size_t p = line.find_first_not_of(" \t");
        if (p == std::string::npos || line[p] == '#') continue;
        if (line[p] == '+') {
            if (lastLang < 0) throw Fail{"continuation without an entry on line " + std::to_string(lineNo)};
            t.texts[lastLang][lastId] += u'\n';
            t.texts[lastLang][lastId] += toUtf16(quoted(line, lineNo), lineNo);
            continue;
        }
        std::istringstream ls(line);
        std::string first, second;
        ls >> first >> second;
        if (first == "language") {
            int id = 0;
            ls >> id;
            if (id <= 0 || id > 0xFFFF) throw Fail{"bad language id on line " + std::to_string(lineNo)};
            t.languages[second] = id;
            continue;
        }
        int id = 0;
        try {
            id = std::stoi(first);
        } catch (...) {
            throw Fail{"expected an entry id on line " + std::to_string(lineNo)};
        }
        if (id < 0 || id > 0xFFFF) throw Fail{"entry id out of range on line " + std::to_string(lineNo)};
        auto lang = t.languages.find(second);
        if (lang == t.languages.end())
            throw Fail{"unknown language '" + second + "' on line " + std::to_string(lineNo)};
        auto& slot = t.texts[lang->second];
        if (slot.count(id))
            throw Fail{"duplicate entry " + first + " " + second + " on line " + std::to_string(lineNo)};
        const auto text = toUtf16(quoted(line, lineNo), lineNo);
        if (text.size() > 0xFFFF) throw Fail{"text too long on line " + std::to_string(lineNo)};
        slot[id] = text;
        lastLang = lang->second;
        lastId = id;
    }
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

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::cerr << "usage: StringTableCompiler <strings.txt> <output.cpp | output.rc>\n";
        return 2;
    }
    try {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) throw Fail{std::string("cannot read ") + argv[1]};
        const Table t = parse(in);
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
