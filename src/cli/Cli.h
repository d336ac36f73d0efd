#pragma once
// The console program: reads its command line, loads the language the user chose in the
// window, and hands the work to the command asked for. Output goes to the streams given, so the
// whole program can be driven from a test.
#include <iosfwd>
#include <string>
#include <vector>

#include "platform/PlatformServices.h"

namespace quenvor::cli {

class Cli {
public:
    struct Streams {
        std::ostream& out;  // the report
        std::ostream& err;  // usage errors, questions
        // The progress line, or null when standard error is no terminal.
        std::ostream* progress = nullptr;
    };
    explicit Cli(platform::PlatformServices native) : m_native(native) {}
    // The exit code (cli/ExitCode.h).
    int run(const std::vector<std::string>& args, Streams io);

private:
    platform::PlatformServices m_native;
};

}  // namespace quenvor::cli
