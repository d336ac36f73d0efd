#include <iostream>

#include "cli/Cli.h"
#include "platform/Console.h"
#include "platform/NativePlatform.h"

int main(int argc, char** argv) {
    using quenvor::platform::Console;
    Console::prepare();
    quenvor::platform::NativePlatform native;
    const bool progress = Console::isTerminal(Console::Stream::Err);
    return quenvor::cli::Cli(native.services())
        .run(Console::arguments(argc, argv), {std::cout, std::cerr, progress ? &std::cerr : nullptr});
}
