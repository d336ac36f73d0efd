#pragma once
// The terminal a console program runs in: whether its streams are a terminal, its arguments in
// UTF-8, a line typed in answer, and Ctrl+C heard as a request to stop rather than a kill.
#include <string>
#include <vector>

namespace quenvor::platform {

class Console {
public:
    enum class Stream { In, Out, Err };
    // Once, at start: UTF-8 output on a Windows console.
    static void prepare();
    static bool isTerminal(Stream s);
    // The program's arguments, UTF-8, without the program's own name.
    static std::vector<std::string> arguments(int argc, char** argv);
    // A line from standard input without its line break; false at the end of the input.
    static bool readLine(std::string& line);
    // From now on Ctrl+C (and a terminal's hang-up or a polite kill) only sets the flag below;
    // a second Ctrl+C ends the program as usual.
    static void catchInterrupt();
    static bool interrupted();
    // The terminal's width in columns; 80 where it cannot be told.
    static int columns();
};

}  // namespace quenvor::platform
