#pragma once
// What the console program's exit status tells a script.
namespace quenvor::cli::ExitCode {

constexpr int Done = 0;         // everything asked for was done, and is true
constexpr int Partly = 1;       // done, but something was left or may remain (each one is named)
constexpr int Usage = 2;        // the command line could not be understood
constexpr int NothingDone = 3;  // refused, not confirmed, or every store asked for belongs to a running browser

}  // namespace quenvor::cli::ExitCode
