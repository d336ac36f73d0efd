#include "ui/Accelerator.h"

#include <cctype>
#include <set>
#include <utility>

namespace quenvor::ui {
namespace {

bool isLetter(char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; }
char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

}  // namespace

char Accelerator::key(const std::string& caption) {
    for (std::size_t i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != '&') continue;
        if (caption[i + 1] == '&') {
            ++i;
            continue;
        }
        return isLetter(caption[i + 1]) || std::isdigit(static_cast<unsigned char>(caption[i + 1]))
                   ? lower(caption[i + 1])
                   : '\0';
    }
    return 0;
}

std::string Accelerator::plain(const std::string& caption) {
    std::string out;
    out.reserve(caption.size());
    for (std::size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] != '&') {
            out += caption[i];
        } else if (i + 1 < caption.size() && caption[i + 1] == '&') {
            out += '&';
            ++i;
        }
    }
    return out;
}

std::string Accelerator::mark(const std::string& caption, const std::string& others) {
    if (key(caption)) return caption;
    // `others` is any text holding the other captions, marks and all: only the marked letters count.
    std::set<char> taken;
    for (std::size_t i = 0; i + 1 < others.size(); ++i) {
        if (others[i] != '&') continue;
        if (others[i + 1] == '&')
            ++i;
        else
            taken.insert(lower(others[i + 1]));
    }
    std::string escaped;
    for (char c : caption) {
        escaped += c;
        if (c == '&') escaped += '&';
    }
    // Letters only in ASCII: an accented letter is not on every keyboard.
    auto free = [&](std::size_t i) { return isLetter(escaped[i]) && !taken.contains(lower(escaped[i])); };
    auto at = [&](std::size_t i) { return escaped.substr(0, i) + '&' + escaped.substr(i); };
    for (std::size_t i = 0; i < escaped.size(); ++i)
        if ((i == 0 || escaped[i - 1] == ' ') && free(i)) return at(i);
    for (std::size_t i = 0; i < escaped.size(); ++i)
        if (free(i)) return at(i);
    return escaped;
}

std::vector<std::string> Accelerator::resolve(const std::vector<std::string>& captions) {
    std::vector<std::string> out;
    std::string taken;  // "&a&b...": the letters held so far, as mark() reads them
    for (const auto& caption : captions) {
        const char held = key(caption);
        std::string shown = caption;
        if (held && taken.find(std::string("&") + held) != std::string::npos) shown = mark(plain(caption), taken);
        if (const char k = key(shown)) taken += std::string("&") + k;
        out.push_back(std::move(shown));
    }
    return out;
}

}  // namespace quenvor::ui
