#include "platform/Console.h"

#include <atomic>
#include <csignal>
#include <iostream>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/windows/WideText.h"
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace quenvor::platform {
namespace {

std::atomic<bool> g_interrupted{false};

#ifdef _WIN32
BOOL WINAPI onCtrl(DWORD type) {
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
    // The second one ends the program as it always would.
    return g_interrupted.exchange(true) ? FALSE : TRUE;
}
#else
extern "C" void onSignal(int sig) {
    if (g_interrupted.exchange(true)) {
        std::signal(sig, SIG_DFL);
        std::raise(sig);
    }
}
#endif

}  // namespace

void Console::prepare() {
#ifdef _WIN32
    SetConsoleOutputCP(CP_UTF8);
#endif
}

bool Console::isTerminal(Stream s) {
    const int fd = s == Stream::In ? 0 : s == Stream::Out ? 1 : 2;
#ifdef _WIN32
    return _isatty(fd) != 0;
#else
    return ::isatty(fd) == 1;
#endif
}

std::vector<std::string> Console::arguments(int argc, char** argv) {
    std::vector<std::string> args;
#ifdef _WIN32
    (void)argc;
    (void)argv;
    int n = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &n);
    for (int i = 1; wide && i < n; ++i) args.push_back(windows::narrow(wide[i]));
    if (wide) LocalFree(wide);
#else
    for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
#endif
    return args;
}

bool Console::readLine(std::string& line) {
    if (!std::getline(std::cin, line)) return false;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return true;
}

void Console::catchInterrupt() {
#ifdef _WIN32
    SetConsoleCtrlHandler(onCtrl, TRUE);
#else
    struct sigaction sa {};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) sigaction(sig, &sa, nullptr);
#endif
}

bool Console::interrupted() { return g_interrupted.load(); }

int Console::columns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize ws{};
    if (::ioctl(2, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
#endif
    return 80;
}

}  // namespace quenvor::platform
