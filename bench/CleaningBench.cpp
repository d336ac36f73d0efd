// Times the cleaning on large made-up browser profiles against the plainest correct way to do
// the same work, interleaved, and prints the ratios of medians:
//   start-up: the page's two lists built from 10,000 cache entries and 3,000 cookies, against
//             reading each entry file whole once and one SELECT of the cookies;
//   chromium: the same from a Chromium profile's 10,000 entries and 3,000 cookies;
//   run:      "Clear Temporary Internet Files" and "Clear Cookies" over 40,000 entries and 3,000
//             cookies, against `rm -rf` of the cache folder and one DELETE of the cookie table;
//   run-300k-80k: the window's whole run (history, cache, form data, cookies) over 200,000
//             Firefox and 100,000 Chromium history rows and 80,000 cache entries, against
//             `rm -rf` of the caches and one secure-delete transaction and checkpoint per store;
//   startup-80k: the real Qt window (offscreen) from its services to its first paint, page one's
//             lists filled from 40,000 Firefox and 40,000 Chromium cache entries and 6,000
//             cookies, against reading the last 4 KiB of each entry file (where its key lies).
//   quenvor_bench_cleaning [--dir FOLDER] [--reps N] [--only startup|chromium|run|run-300k-80k|startup-80k]
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "cleaning/CleaningRun.h"
#include "cleaning/CompositeUrlCache.h"
#include "cleaning/UrlCacheLists.h"
#include "cleaning/chromium/ChromiumUrlCache.h"
#include "cleaning/firefox/CacheEntryKey.h"
#include "cleaning/firefox/FirefoxUrlCache.h"
#include "platform/EmbeddedStringResource.h"
#include "platform/IniProfileReader.h"
#include "platform/RegistryStore.h"
#include "platform/linux/LinuxFileService.h"
#include "platform/linux/LinuxKnownFolders.h"
#include "platform/linux/LinuxProcessTable.h"
#include "support/FakeFormView.h"
#include "support/ScriptedUi.h"
#include "ui/BusyState.h"
#include "ui/StringTable.h"
#ifdef QUENVOR_BENCH_WINDOW
#include <QApplication>

#include "platform/NativePlatform.h"
#include "shell/AppServices.h"
#include "support/Fakes.h"
#include "window/qt/QtUiServices.h"
#include "window/qt/frmStart.h"
#endif

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace quenvor;
using Clock = std::chrono::steady_clock;

double seconds(const std::function<void()>& f) {
    const auto t = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

int run(const std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void write(const fs::path& p, const std::string& bytes) {
    fs::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << bytes;
}

void sql(const fs::path& db, const std::string& statements) {
    sqlite3* h = nullptr;
    sqlite3_open(db.c_str(), &h);
    char* err = nullptr;
    if (sqlite3_exec(h, statements.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
        std::fprintf(stderr, "%s: %s\n", db.c_str(), err ? err : "?");
        sqlite3_free(err);
    }
    sqlite3_close(h);
}

std::string be32(std::uint32_t v) {
    return {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8), static_cast<char>(v)};
}

// An entry laid out as Firefox's disk cache writes it: data, hashes, metadata with the key.
std::string cacheEntry(const std::string& key, const std::string& data) {
    std::string out = data + be32(0x12345678) + std::string(2 * ((data.size() + 262143) / 262144), '\x11');
    out += be32(3) + be32(1) + be32(1700000000) + be32(1700000000) + be32(0) + be32(0xFFFFFFFF) +
           be32(static_cast<std::uint32_t>(key.size())) + be32(0);
    out += key + '\0' + "request-method" + '\0' + "GET" + '\0' + "response-head" + '\0' +
           "HTTP/1.1 200 OK\r\nContent-Type: text/html\r\n" + '\0';
    return out + be32(static_cast<std::uint32_t>(data.size()));
}

std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16), static_cast<char>(v >> 24)};
}

// A simple-cache entry's first file as Chromium writes it: header, key, the body, an end record.
std::string chromiumEntry(const std::string& key, const std::string& data) {
    return le32(0xa7725c30u) + le32(0xfcfb6d1bu) + le32(5) + le32(static_cast<std::uint32_t>(key.size())) +
           le32(0x12345678u) + le32(0) + key + data + std::string(24, '\0');
}

class Profile {
public:
    explicit Profile(fs::path base) : m_base(std::move(base)) {}

    fs::path home() const { return m_base / "home"; }
    fs::path folder() const { return home() / ".config/mozilla/firefox/Profiles/big"; }
    fs::path cache() const { return home() / ".cache/mozilla/firefox/Profiles/big"; }
    fs::path chromium() const { return home() / ".config/chromium/Default"; }
    fs::path chromiumCache() const { return home() / ".cache/chromium/Default/Cache/Cache_Data"; }

    // A Chromium profile only, its cache below the cache folder as Chromium keeps it on Linux;
    // beside what the home holds already when not `fresh`.
    void makeChromium(int entries, int cookies, bool fresh = true) {
        if (fresh) fs::remove_all(m_base);
        write(chromium() / "Preferences", "{}");
        std::string rows =
            "BEGIN; CREATE TABLE cookies (creation_utc INTEGER NOT NULL, host_key TEXT NOT NULL, "
            "top_frame_site_key TEXT NOT NULL DEFAULT '', name TEXT NOT NULL, value TEXT NOT NULL, "
            "encrypted_value BLOB NOT NULL DEFAULT '', path TEXT NOT NULL, expires_utc INTEGER NOT NULL DEFAULT 0,"
            " UNIQUE (host_key, top_frame_site_key, name, path));";
        for (int i = 0; i < cookies; ++i)
            rows += "INSERT INTO cookies (creation_utc, host_key, name, value, path) VALUES (" + std::to_string(i) +
                    ", '.site" + std::to_string(i / 2) + ".example', 'c" + std::to_string(i) + "', 'value-" +
                    std::to_string(i) + "', '/');";
        fs::create_directories(chromium() / "Network");
        sql(chromium() / "Network/Cookies", rows + "COMMIT;");
        const std::string data(1500, 'd');
        char name[24];
        for (int i = 0; i < entries; ++i) {
            const std::string site = "https://site" + std::to_string(i % 1500) + ".example";
            std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(i) * 11400714819323198485ull);
            write(chromiumCache() / (std::string(name) + "_0"),
                  chromiumEntry(
                      "1/0/_dk_" + site + " " + site + " https://cdn.example/assets/" + std::to_string(i) + ".png",
                      data));
        }
        write(chromiumCache() / "index", "index");
        ::sync();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    void make(int entries, int cookies) {
        fs::remove_all(m_base);
        write(home() / ".config/mozilla/firefox/profiles.ini", "[Profile0]\nName=big\nPath=Profiles/big\n");
        write(folder() / "prefs.js", "");
        write(folder() / "times.json", "{}");  // with prefs.js, what makes a folder Firefox's profile
        std::string rows =
            "PRAGMA journal_mode = WAL; BEGIN;"
            "CREATE TABLE moz_cookies (id INTEGER PRIMARY KEY, originAttributes TEXT NOT NULL DEFAULT '',"
            " name TEXT, value TEXT, host TEXT, path TEXT, expiry INTEGER, lastAccessed INTEGER,"
            " creationTime INTEGER, isSecure INTEGER, isHttpOnly INTEGER,"
            " CONSTRAINT moz_uniqueid UNIQUE (name, host, path, originAttributes));";
        for (int i = 0; i < cookies; ++i)
            rows += "INSERT INTO moz_cookies (name, value, host, path) VALUES ('c" + std::to_string(i) +
                    "', 'value-of-some-length-" + std::to_string(i) + "', '.site" + std::to_string(i / 2) +
                    ".example', '/');";
        sql(folder() / "cookies.sqlite", rows + "COMMIT;");
        const std::string data(1500, 'd');
        char name[48];
        for (int i = 0; i < entries; ++i) {
            std::snprintf(name, sizeof name, "%040X", static_cast<unsigned>(i) * 2654435761u);
            write(cache() / "cache2/entries" / name,
                  cacheEntry("O^partitionKey=%28https%2Csite" + std::to_string(i % 1500) +
                                 ".example%29,a,:https://cdn.example/assets/" + std::to_string(i) + ".png",
                             data));
        }
        // The inputs reach the disk before anything is timed, so neither side pays for writing them.
        ::sync();
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
    }

    // History at scale: `pages` addresses with one visit each, as Firefox and Chromium keep them.
    void addHistory(int firefoxPages, int chromiumPages) {
        const std::string numbers = "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < ";
        sql(folder() / "places.sqlite",
            "PRAGMA journal_mode = WAL; BEGIN;"
            "CREATE TABLE moz_origins (id INTEGER PRIMARY KEY, prefix TEXT, host TEXT);"
            "CREATE TABLE moz_places (id INTEGER PRIMARY KEY, url TEXT, title TEXT, visit_count INTEGER,"
            " last_visit_date INTEGER, origin_id INTEGER);"
            "CREATE TABLE moz_historyvisits (id INTEGER PRIMARY KEY, place_id INTEGER, visit_date INTEGER);"
            "CREATE TABLE moz_bookmarks (id INTEGER PRIMARY KEY, fk INTEGER);" +
                numbers + "1500) INSERT INTO moz_origins SELECT i, 'https://', 'site' || i || '.example' FROM n;" +
                numbers + std::to_string(firefoxPages) +
                ") INSERT INTO moz_places SELECT i, 'https://site' || (i % 1500) || '.example/page/' || i || '?q=' || "
                "i,"
                " 'A page title ' || i, 1, i, i % 1500 + 1 FROM n;" +
                numbers + std::to_string(firefoxPages) +
                ") INSERT INTO moz_historyvisits SELECT i, i, i FROM n; COMMIT;");
        fs::create_directories(chromium());
        sql(chromium() / "History",
            "BEGIN; CREATE TABLE urls (id INTEGER PRIMARY KEY, url TEXT, title TEXT, visit_count INTEGER,"
            " last_visit_time INTEGER);"
            "CREATE TABLE visits (id INTEGER PRIMARY KEY, url INTEGER, visit_time INTEGER);" +
                numbers + std::to_string(chromiumPages) +
                ") INSERT INTO urls SELECT i, 'https://site' || (i % 1500) || '.example/page/' || i, 'A page ' || i,"
                " 1, i FROM n;" +
                numbers + std::to_string(chromiumPages) + ") INSERT INTO visits SELECT i, i, i FROM n; COMMIT;");
        ::sync();
    }

private:
    fs::path m_base;
};

// The services a window would hand the cleaning, pointed at the made-up home.
struct Services {
    explicit Services(const Profile& p)
        : env{{"HOME", p.home().string()}, {"TMPDIR", (p.home() / "tmp").string()}},
          registry(p.home() / "registry.reg", &folders) {}
    std::map<std::string, std::string> env;
    platform::LinuxKnownFolders folders{[this](const char* n) -> const char* {
        auto it = env.find(n);
        return it == env.end() ? nullptr : it->second.c_str();
    }};
    platform::RegistryStore registry;
    platform::IniProfileReader ini;
    platform::LinuxFileService files;
    platform::LinuxProcessTable processes;
    cleaning::firefox::FirefoxProfiles::Services firefox() { return {registry, ini, files, folders}; }
};

struct Ratio {
    std::string name;
    double ours, theirs;
};

void startup(Profile& p, int reps, std::vector<Ratio>& out) {
    p.make(10000, 3000);
    std::vector<double> ours, theirs;
    std::size_t listed = 0;
    for (int r = 0; r < reps; ++r) {
        ours.push_back(seconds([&] {
            Services s(p);
            cleaning::firefox::FirefoxUrlCache cache(s.firefox(), &s.processes, "ana");
            test::FakeFormView view;
            test::ScriptedUi ui;
            cleaning::UrlCacheLists lists(view, ui, cache);
            lists.ListVisitedSites();
            lists.ListCookies();
            listed = view.listItems("LstB2").size() + view.listItems("LstB3").size();
        }));
        theirs.push_back(seconds([&] {
            std::vector<std::string> keys;
            std::string bytes;
            for (const auto& e : fs::directory_iterator(p.cache() / "cache2/entries")) {
                std::ifstream in(e.path(), std::ios::binary);
                bytes.assign(std::istreambuf_iterator<char>(in), {});
                if (auto k = cleaning::firefox::CacheEntryKey::parse(bytes)) keys.push_back(*k);
            }
            sqlite3* db = nullptr;
            sqlite3_open_v2((p.folder() / "cookies.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
            sqlite3_exec(
                db, "SELECT DISTINCT host, path FROM moz_cookies",
                [](void* k, int, char** v, char**) {
                    static_cast<std::vector<std::string>*>(k)->push_back(v[0] ? v[0] : "");
                    return 0;
                },
                &keys, nullptr);
            sqlite3_close(db);
        }));
    }
    std::printf("start-up listed %zu lines; median %.3f s (window target 0.25 s)\n", listed, median(ours));
    out.push_back({"startup-lists-10k", median(ours), median(theirs)});
}

void chromiumStartup(Profile& p, int reps, std::vector<Ratio>& out) {
    p.makeChromium(10000, 3000);
    std::vector<double> ours, theirs;
    std::size_t listed = 0;
    for (int r = 0; r < reps; ++r) {
        ours.push_back(seconds([&] {
            Services s(p);
            cleaning::chromium::ChromiumUrlCache cache({s.files, s.folders}, &s.processes, "ana");
            test::FakeFormView view;
            test::ScriptedUi ui;
            cleaning::UrlCacheLists lists(view, ui, cache);
            lists.ListVisitedSites();
            lists.ListCookies();
            listed = view.listItems("LstB2").size() + view.listItems("LstB3").size();
        }));
        theirs.push_back(seconds([&] {
            std::vector<std::string> keys;
            std::string bytes;
            for (const auto& e : fs::directory_iterator(p.chromiumCache())) {
                std::ifstream in(e.path(), std::ios::binary);
                bytes.assign(std::istreambuf_iterator<char>(in), {});
                if (auto k = cleaning::chromium::ChromiumUrlCache::parseEntryKey(bytes, bytes.size()))
                    keys.push_back(*k);
            }
            sqlite3* db = nullptr;
            sqlite3_open_v2((p.chromium() / "Network/Cookies").c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
            sqlite3_exec(
                db, "SELECT DISTINCT host_key, path FROM cookies",
                [](void* k, int, char** v, char**) {
                    static_cast<std::vector<std::string>*>(k)->push_back(v[0] ? v[0] : "");
                    return 0;
                },
                &keys, nullptr);
            sqlite3_close(db);
        }));
    }
    std::printf("chromium start-up listed %zu lines; median %.3f s (window target 0.25 s)\n", listed, median(ours));
    out.push_back({"startup-chromium-lists-10k", median(ours), median(theirs)});
}

void cleaningRun(Profile& p, int reps, std::vector<Ratio>& out) {
    std::vector<double> ours, theirs;
    for (int r = 0; r < reps; ++r) {
        p.make(40000, 3000);
        {
            Services s(p);
            cleaning::firefox::FirefoxUrlCache cache(s.firefox(), &s.processes, "ana");
            test::FakeFormView view;
            test::ScriptedUi ui;
            // The window lists the cache at start-up, and the user reads the page before the run.
            cleaning::UrlCacheLists lists(view, ui, cache);
            lists.ListVisitedSites();
            lists.ListCookies();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            platform::EmbeddedStringResource res;
            ui::StringTable strings{&res, &ui};
            ui::BusyState busy;
            cleaning::CleaningRun run{{view, ui, strings, busy, s.firefox(), &cache, nullptr, &s.processes}};
            for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n == 2 || n == 4 ? 1 : 0);
            ours.push_back(seconds([&] { run.cmdNext_Click(); }));
            if (!run.lastReport().clean())
                std::fprintf(stderr, "the run reported failures: %s\n", run.summary().c_str());
        }
        p.make(40000, 3000);
        theirs.push_back(seconds([&] {
            run({"rm", "-rf", p.cache().string()});
            sqlite3* db = nullptr;
            sqlite3_open((p.folder() / "cookies.sqlite").c_str(), &db);
            sqlite3_exec(db, "DELETE FROM moz_cookies", nullptr, nullptr, nullptr);
            sqlite3_close(db);
        }));
    }
    out.push_back({"run-40k-entries-3k-cookies", median(ours), median(theirs)});
}

// The whole run the window makes at the size of a long-used home (200,000 Firefox and 100,000
// Chromium history rows, 50,000 and 30,000 cache entries, cookies in both), from page one's
// lists already filled, against the plain method: rm -rf of the caches and one transaction per
// store with secure_delete on and a checkpoint.
void bigRun(Profile& p, int reps, std::vector<Ratio>& out) {
    auto makeHome = [&] {
        p.make(50000, 3000);
        p.makeChromium(30000, 3000, false);
        p.addHistory(100000, 50000);
    };
    std::vector<double> ours, theirs;
    for (int r = 0; r < reps; ++r) {
        makeHome();
        {
            Services s(p);
            cleaning::firefox::FirefoxUrlCache firefox(s.firefox(), &s.processes, "ana");
            cleaning::chromium::ChromiumUrlCache chromium({s.files, s.folders}, &s.processes, "ana");
            cleaning::CompositeUrlCache both({&firefox, &chromium});
            test::FakeFormView view;
            test::ScriptedUi ui;
            cleaning::UrlCacheLists(view, ui, both).ListPagesAndCookies();
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            platform::EmbeddedStringResource res;
            ui::StringTable strings{&res, &ui};
            ui::BusyState busy;
            cleaning::CleaningRun run{{view, ui, strings, busy, s.firefox(), &both, nullptr, &s.processes}};
            for (int n = 1; n <= 6; ++n) view.setCheckValue("chk" + std::to_string(n), n <= 4 ? 1 : 0);
            ours.push_back(seconds([&] { run.cmdNext_Click(); }));
            if (!run.lastReport().clean())
                std::fprintf(stderr, "the run reported failures: %s\n", run.summary().c_str());
        }
        makeHome();
        theirs.push_back(seconds([&] {
            run({"rm", "-rf", p.cache().string(), (p.home() / ".cache/chromium").string()});
            const std::pair<fs::path, std::vector<const char*>> stores[] = {
                {p.folder() / "places.sqlite", {"moz_historyvisits", "moz_places", "moz_origins"}},
                {p.folder() / "cookies.sqlite", {"moz_cookies"}},
                {p.chromium() / "History", {"visits", "urls"}},
                {p.chromium() / "Network/Cookies", {"cookies"}}};
            for (const auto& [store, tables] : stores) {
                sqlite3* db = nullptr;
                sqlite3_open(store.c_str(), &db);
                std::string sql = "PRAGMA secure_delete = ON; BEGIN;";
                for (const char* t : tables) sql += std::string("DELETE FROM ") + t + ";";
                sqlite3_exec(db, (sql + "COMMIT;").c_str(), nullptr, nullptr, nullptr);
                sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, nullptr, nullptr);
                sqlite3_close(db);
            }
        }));
    }
    out.push_back({"run-300k-80k", median(ours), median(theirs)});
}

#ifdef QUENVOR_BENCH_WINDOW
// What the program does from its start to the window on screen with its lists: the native
// services of a home, the browsers' caches joined, the form loaded, shown and painted once.
void windowStartup(Profile& p, int reps, std::vector<Ratio>& out) {
    p.make(40000, 3000);
    p.makeChromium(40000, 3000, false);
    setenv("HOME", p.home().c_str(), 1);
    for (const char* xdg : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"}) unsetenv(xdg);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int argc = 1;
    char name[] = "quenvor_bench_cleaning";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    std::vector<fs::path> entries;
    for (const auto& dir : {p.cache() / "cache2/entries", p.chromiumCache()})
        for (const auto& e : fs::directory_iterator(dir)) entries.push_back(e.path());
    std::vector<double> ours, theirs;
    std::size_t listed = 0;
    for (int r = 0; r < reps; ++r) {
        ours.push_back(seconds([&] {
            platform::NativePlatform native;
            shell::AppServices composed(native.services());
            test::MemorySettingsStore settings;
            composed.services().settings = &settings;
            window::QtUiServices ui;
            window::frmStart form(ui, composed.services());
            ui.setParentWindow(&form);
            form.logic().Form_Load();
            form.show();
            (void)form.grab();  // the first paint, the visible rows of both lists shaped
            QCoreApplication::processEvents();
            listed = form.listItems("LstB2").size() + form.listItems("LstB3").size();
        }));
        theirs.push_back(seconds([&] {
            std::vector<char> tail(4096);
            std::size_t total = 0;
            for (const auto& e : entries) {
                const int fd = ::open(e.c_str(), O_RDONLY | O_CLOEXEC);
                if (fd < 0) continue;
                const off_t size = ::lseek(fd, 0, SEEK_END);
                const off_t from = std::max<off_t>(0, size - static_cast<off_t>(tail.size()));
                const ssize_t n = ::pread(fd, tail.data(), tail.size(), from);
                total += n > 0 ? static_cast<std::size_t>(n) : 0;
                ::close(fd);
            }
            if (total == 0) std::fprintf(stderr, "no entry could be read\n");
        }));
    }
    std::printf("window start-up listed %zu lines from %zu entries; median %.3f s\n", listed, entries.size(),
                median(ours));
    out.push_back({"startup-80k", median(ours), median(theirs)});
}
#endif

}  // namespace

int main(int argc, char** argv) {
    fs::path base = "/var/tmp";
    int reps = 3;
    std::string only;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--dir") == 0 && i + 1 < argc)
            base = argv[++i];
        else if (std::strcmp(argv[i], "--reps") == 0 && i + 1 < argc)
            reps = std::max(1, std::atoi(argv[++i]));
        else if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc)
            only = argv[++i];
    }
    const fs::path dir = base / ("quenvor-bench-cleaning-" + std::to_string(getpid()));
    Profile profile(dir);
    std::vector<Ratio> ratios;
    if (only.empty() || only == "startup") startup(profile, reps, ratios);
    if (only.empty() || only == "chromium") chromiumStartup(profile, reps, ratios);
    if (only.empty() || only == "run") cleaningRun(profile, reps, ratios);
    if (only.empty() || only == "run-300k-80k") bigRun(profile, reps, ratios);
#ifdef QUENVOR_BENCH_WINDOW
    if (only.empty() || only == "startup-80k") windowStartup(profile, reps, ratios);
#endif
    fs::remove_all(dir);
    std::printf("\n%-30s %10s %10s %7s\n", "case", "ours (s)", "plain (s)", "ratio");
    for (const auto& r : ratios)
        std::printf("%-30s %10.3f %10.3f %7.2f\n", r.name.c_str(), r.ours, r.theirs, r.ours / r.theirs);
    std::printf("\n");
    for (const auto& r : ratios)
        std::printf("RATIO %s %.3f %.3f %.2f\n", r.name.c_str(), r.ours, r.theirs, r.ours / r.theirs);
    return 0;
}
