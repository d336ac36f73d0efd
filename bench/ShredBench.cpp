// Compares the shredding engine and the folder walk with the tools a user would pick
// instead (coreutils shred, find), interleaved in one run, and prints the ratios of medians.
//   quenvor_bench [--full] [--dir FOLDER] [--only CASE-PREFIX] [--reps N]
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxRandomSource.h"
#include "platform/linux/LinuxStorageProbe.h"
#include "shredder/FolderShred.h"
#include "shredder/OverwriteCheck.h"
#include "shredder/cPattern.h"
#include "shredder/cRecurse.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quenvor;
using Clock = std::chrono::steady_clock;

struct Ratio {
    std::string name;
    double ours, theirs;
};

double seconds(const std::function<void()>& f) {
    const auto t = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

int run(const std::vector<std::string>& args, const char* stdoutTo = nullptr) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdoutTo) posix_spawn_file_actions_addopen(&actions, 1, stdoutTo, O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void makeFile(const fs::path& p, std::uint64_t size) {
    static const std::string chunk(1 << 20, 'q');
    std::ofstream out(p, std::ios::binary);
    for (std::uint64_t left = size; left > 0;) {
        const auto n = std::min<std::uint64_t>(left, chunk.size());
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
}

// Written and on the disk before either tool starts, as the files a user shreds have been for a
// while: neither run pays for writing out the other's input.
void makeFolder(const fs::path& dir, int files, std::uint64_t size) {
    fs::create_directories(dir);
    for (int i = 0; i < files; ++i) makeFile(dir / ("f" + std::to_string(i) + ".dat"), size);
    ::sync();
}

class Bench {
public:
    Bench(fs::path dir, bool checks, std::string only, int reps)
        : m_dir(std::move(dir)), m_checks(checks), m_only(std::move(only)), m_reps(reps) {}

    void shredFile(const std::string& name, std::uint64_t size, int passes, int reps) {
        if (!wanted(name, reps)) return;
        std::vector<double> ours, theirs;
        const auto p = m_dir / "file.dat";
        for (int r = 0; r < reps; ++r) {
            makeFile(p, size);
            ::sync();
            ours.push_back(seconds([&] { shredOne(p, passes); }));
            makeFile(p, size);
            ::sync();
            theirs.push_back(seconds([&] { run({"shred", "-n", std::to_string(passes), "-u", p.string()}); }));
        }
        add(name, ours, theirs);
    }

    void shredFolder(const std::string& name, int files, std::uint64_t size, int passes, int reps) {
        if (!wanted(name, reps)) return;
        std::vector<double> ours, theirs;
        const auto d = m_dir / "folder";
        for (int r = 0; r < reps; ++r) {
            makeFolder(d, files, size);
            ours.push_back(seconds([&] { shredTree(d, passes); }));
            makeFolder(d, files, size);
            theirs.push_back(seconds([&] {
                run({"find", d.string(), "-type", "f", "-exec", "shred", "-n", std::to_string(passes), "-u", "{}",
                     "+"});
                run({"rm", "-rf", d.string()});
            }));
        }
        add(name, ours, theirs);
    }

    void walk(const std::string& name, int files, int reps) {
        if (!wanted(name, reps)) return;
        const auto d = m_dir / "tree";
        const int perFolder = 1000;
        for (int i = 0; i < files; ++i) {
            const auto sub = d / ("d" + std::to_string(i / perFolder));
            if (i % perFolder == 0) fs::create_directories(sub);
            std::ofstream(sub / ("file-" + std::to_string(i) + ".txt"));
        }
        std::vector<double> ours, theirs;
        std::size_t count = 0;
        for (int r = 0; r < reps; ++r) {
            ours.push_back(seconds([&] { count = shredder::cRecurse(m_files).Recurse(d.string(), "*.*").size(); }));
            theirs.push_back(seconds([&] { run({"find", d.string(), "-type", "f"}, "/dev/null"); }));
        }
        std::printf("walk listed %zu entries\n", count);
        add(name, ours, theirs);
        // Peak memory of a walk alone, in a child process of its own.
        const pid_t pid = fork();
        if (pid == 0) {
            auto list = shredder::cRecurse(m_files).Recurse(d.string(), "*.*");
            _exit(list.size() > 0 ? 0 : 1);
        }
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        m_peaks.emplace_back(name, static_cast<double>(usage.ru_maxrss) / 1024.0);
        fs::remove_all(d);
    }

    void print() const {
        std::printf("\n%-22s %12s %12s %8s\n", "case", "ours (s)", "theirs (s)", "ratio");
        for (const auto& r : m_ratios)
            std::printf("%-22s %12.3f %12.3f %8.2f\n", r.name.c_str(), r.ours, r.theirs, r.ours / r.theirs);
        std::printf("\n");
        for (const auto& r : m_ratios)
            std::printf("RATIO %s %.3f %.3f %.2f\n", r.name.c_str(), r.ours, r.theirs, r.ours / r.theirs);
        for (const auto& [name, mib] : m_peaks) std::printf("PEAK %s %.1f\n", name.c_str(), mib);
    }

private:
    // Only the cases asked for, each as many times as asked, when the run was narrowed down.
    bool wanted(const std::string& name, int& reps) const {
        if (m_reps > 0) reps = m_reps;
        return name.rfind(m_only, 0) == 0;
    }
    // What the page runs for a folder: the folder shred, with the page's checks on every file.
    void shredTree(const fs::path& d, int passes) {
        shredder::cPattern engine(m_files, &m_random);
        shredder::OverwriteCheck check(m_checks ? &m_probe : nullptr);
        check.attachTo(engine);
        shredder::FolderShred::Hooks hooks;
        hooks.beforeFile = [&] {
            engine.setAttibs(true);
            engine.setSecurePass(passes);
        };
        const auto o = shredder::FolderShred(m_files, engine, std::move(hooks)).run(d.string());
        if (!o.done()) std::fprintf(stderr, "folder shred left %zu entries in %s\n", o.left.size(), d.c_str());
    }
    void shredOne(const fs::path& p, int passes) {
        shredder::cPattern engine(m_files, &m_random);
        // The checks the page installs: each file is examined before its passes and its block
        // map compared after them.
        shredder::OverwriteCheck check(m_checks ? &m_probe : nullptr);
        check.attachTo(engine);
        engine.setSourceFile(p.string());
        engine.setSecurePass(passes);
        const auto r = engine.DeleteFileByPattern();
        if (!r.ok()) std::fprintf(stderr, "shred failed: %s %s\n", p.c_str(), r.detail.c_str());
    }
    void add(const std::string& name, const std::vector<double>& ours, const std::vector<double>& theirs) {
        m_ratios.push_back({name, median(ours), median(theirs)});
        std::printf("%-22s done (%zu runs each)\n", name.c_str(), ours.size());
        std::fflush(stdout);
    }

    fs::path m_dir;
    platform::LinuxFileService m_files;
    platform::LinuxRandomSource m_random;
    platform::LinuxStorageProbe m_probe;
    bool m_checks = true;
    std::string m_only;
    int m_reps = 0;
    std::vector<Ratio> m_ratios;
    std::vector<std::pair<std::string, double>> m_peaks;
};

}  // namespace

int main(int argc, char** argv) {
    bool full = false;
    bool checks = true;
    std::string only;
    int reps = 0;
    fs::path base = "/var/tmp";
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--full") == 0)
            full = true;
        else if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            base = argv[++i];
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
        else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--without-checks") == 0)  // to measure what the storage checks cost
            checks = false;
    }
    const fs::path dir = base / ("quenvor-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    struct statvfs vfs {};
    const double needGiB = 2.5;
    if (statvfs(dir.c_str(), &vfs) == 0 &&
        static_cast<double>(vfs.f_bavail) * static_cast<double>(vfs.f_frsize) < needGiB * (1 << 30)) {
        std::fprintf(stderr, "need %.1f GiB free in %s\n", needGiB, dir.c_str());
        fs::remove_all(dir);
        return 2;
    }
    if (run({"shred", "--version"}, "/dev/null") != 0) {
        std::fprintf(stderr, "coreutils shred is needed for the comparison\n");
        return 2;
    }
    constexpr std::uint64_t KiB = 1024, MiB = 1024 * KiB, GiB = 1024 * MiB;
    Bench b(dir, checks, only, reps);
    if (!full) {
        b.shredFolder("shred-2000x4KiB-x4", 2000, 4 * KiB, 4, 3);
        b.shredFolder("shred-20000x4KiB-x4", 20000, 4 * KiB, 4, 3);
        b.shredFile("shred-1MiB-x4", 1 * MiB, 4, 7);
        b.shredFile("shred-64MiB-x4", 64 * MiB, 4, 5);
        b.shredFile("shred-1GiB-x4", 1 * GiB, 4, 3);
        b.shredFile("shred-1MiB-x16", 1 * MiB, 16, 7);
        b.shredFile("shred-64MiB-x16", 64 * MiB, 16, 3);
        b.walk("walk-100k", 100000, 5);
    } else {
        for (int passes : {4, 8, 16}) {
            const std::string x = "-x" + std::to_string(passes);
            b.shredFolder("shred-10000x4KiB" + x, 10000, 4 * KiB, passes, 3);
            b.shredFile("shred-1MiB" + x, 1 * MiB, passes, 5);
            b.shredFile("shred-256MiB" + x, 256 * MiB, passes, 3);
            b.shredFile("shred-1GiB" + x, 1 * GiB, passes, 3);
        }
        b.walk("walk-100k", 100000, 5);
    }
    b.print();
    fs::remove_all(dir);
    return 0;
}
