#include "cleaning/formats/LevelDbSites.h"

#include <leveldb/db.h>
#include <leveldb/env.h>
#include <leveldb/iterator.h>
#include <leveldb/options.h>
#include <leveldb/table.h>
#include <leveldb/write_batch.h>

#include <cerrno>
#include <cstdarg>
#include <exception>
#include <map>
#include <memory>

#include "platform/LinkStatus.h"
#include "platform/Utf8Path.h"

namespace quenvor::cleaning::formats {
namespace {

namespace fs = std::filesystem;

bool startsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

bool digits(std::string_view s) { return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos; }

std::string_view view(const leveldb::Slice& s) { return {s.data(), s.size()}; }

// A key as stored holds the site's origin, and for an entry partitioned under another site
// ("https://ads.example/^0https://news.example") that site after a caret; the origin alone
// decides. Session Storage spells an origin with a closing slash, Local Storage without.
std::string originOf(std::string_view stored) {
    stored = stored.substr(0, stored.find('^'));
    if (stored.size() > 1 && stored.back() == '/') stored.remove_suffix(1);
    return std::string(stored);
}

// The tab id of a Session Storage tab entry is a GUID of fixed length: "namespace-<id>-<origin>".
constexpr std::size_t kNamespaceIdLength = 36;

// LevelDB takes a name in the system's narrow encoding: UTF-8 here, the ANSI code page on
// Windows, where a name outside it comes back empty (checkFolder refuses it).
std::string nameOf(const fs::path& p) {
#ifdef _WIN32
    try {
        auto narrow = p.string();
        if (fs::path(narrow) == p) return narrow;
    } catch (const std::exception&) {
    }
    return {};
#else
    return platform::utf8Of(p);
#endif
}

platform::Error failure(const fs::path& file, const std::string& step, const leveldb::Status& s) {
    std::string why = s.ToString();
    int code = EIO;
    // The lock file is held: the browser (or another program) has the store open.
    if (s.IsIOError() && (why.find("lock ") != std::string::npos || why.find("LOCK:") != std::string::npos)) {
        why = "in use by another program (" + why + ")";
        code = EBUSY;
    } else if (s.IsCorruption()) {
        why = "damaged (" + why + ")";
    }
    return platform::Error{code, platform::utf8Of(file.filename()) + ": " + step + ": " + why};
}

// The files a store is made of; their names are all LevelDB's, none a link.
platform::Status checkFolder(const fs::path& folder) {
    std::error_code ec;
    if (fs::is_symlink(fs::symlink_status(folder, ec)) || platform::isLink(folder))
        return platform::Error{ELOOP, "a link to somewhere else, not followed"};
    if (nameOf(folder / "LOCK").empty())
        return platform::Error{EINVAL, "its name has characters LevelDB cannot open on this system"};
    for (const auto& e : fs::directory_iterator(folder, ec)) {
        if (e.is_symlink(ec) || platform::isLink(e.path()))
            return platform::Error{ELOOP,
                                   platform::utf8Of(e.path().filename()) + ": a link to somewhere else, not followed"};
    }
    if (ec) return platform::Error{ec.value(), ec.message()};
    return {};
}

enum class FileKind { Log, Table, Manifest, Other };

FileKind kindOf(const std::string& name) {
    const auto ext = fs::path(name).extension().string();
    if (ext == ".log" && name != "LOG.old") return FileKind::Log;
    if (ext == ".ldb" || ext == ".sst") return FileKind::Table;
    if (startsWith(name, "MANIFEST-")) return FileKind::Manifest;
    return FileKind::Other;
}

// A data file of the store is there: a store without its CURRENT file is damaged, a folder
// without any is only an empty one.
bool holdsData(const fs::path& folder) {
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (kindOf(platform::utf8Of(e.path().filename())) != FileKind::Other) return true;
    return false;
}

struct Store {
    std::unique_ptr<leveldb::DB> db;
};

// LevelDB keeps a log of its own work beside the store, started afresh at every open, even one
// that fails: nothing here is to change the folder of a store it only reads or cannot open.
class Silent : public leveldb::Logger {
public:
    void Logv(const char*, std::va_list) override {}
};

leveldb::Options options() {
    static Silent silent;
    leveldb::Options o;
    o.info_log = &silent;
    o.create_if_missing = false;
    // Damage is found at open and on every read, rather than read past.
    o.paranoid_checks = true;
    return o;
}

platform::Result<Store> open(const fs::path& folder) {
    leveldb::DB* db = nullptr;
    const auto s = leveldb::DB::Open(options(), nameOf(folder), &db);
    if (!s.ok()) return failure(folder, "open", s);
    Store store;
    store.db.reset(db);
    return store;
}

leveldb::ReadOptions reading() {
    leveldb::ReadOptions r;
    r.verify_checksums = true;
    r.fill_cache = false;
    return r;
}

// Whether a table file left from before the removal still holds one of the removed keys: its
// entries are the keys followed by eight bytes of sequence number and type.
platform::Result<bool> tableHolds(const fs::path& file, const std::set<std::string>& keys) {
    leveldb::Env* env = leveldb::Env::Default();
    std::uint64_t size = 0;
    leveldb::RandomAccessFile* raw = nullptr;
    auto s = env->GetFileSize(nameOf(file), &size);
    if (s.ok()) s = env->NewRandomAccessFile(nameOf(file), &raw);
    std::unique_ptr<leveldb::RandomAccessFile> source(raw);
    leveldb::Table* table = nullptr;
    if (s.ok()) s = leveldb::Table::Open(options(), source.get(), size, &table);
    std::unique_ptr<leveldb::Table> owned(table);
    if (!s.ok()) return failure(file, "check", s);
    std::unique_ptr<leveldb::Iterator> it(owned->NewIterator(reading()));
    bool holds = false;
    for (it->SeekToFirst(); it->Valid() && !holds; it->Next()) {
        const auto k = view(it->key());
        holds = k.size() >= 8 && keys.contains(std::string(k.substr(0, k.size() - 8)));
    }
    if (!it->status().ok()) return failure(file, "check", it->status());
    return holds;
}

// LevelDB's list of its files (the MANIFEST) also notes, level by level, the last key each
// compaction took, which after a removal is often a removed one: a site's address. A list
// written afresh from the tables themselves notes none; the old list and log are set aside by
// the rewrite into "lost" and removed from there. The tables, all on the first level after the
// rewrite, are then compacted once more, as the browser would, and the list this leaves notes
// only keys that stay. The rewrite does not take the store's lock, so it is held here.
platform::Status rewriteFileList(const fs::path& folder) {
    std::vector<std::string> setAside;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (const auto name = platform::utf8Of(e.path().filename()); kindOf(name) != FileKind::Other)
            setAside.push_back(name);
    leveldb::Env* env = leveldb::Env::Default();
    leveldb::FileLock* lock = nullptr;
    auto s = env->LockFile(nameOf(folder / "LOCK"), &lock);
    if (s.ok()) {
        s = leveldb::RepairDB(nameOf(folder), options());
        env->UnlockFile(lock);
    }
    if (!s.ok()) return failure(folder, "rewrite", s);
    for (const auto& name : setAside)
        if (!fs::remove(folder / "lost" / platform::pathFromUtf8(name), ec) && ec)
            return platform::Error{ec.value(), "lost/" + name + ": " + ec.message()};
    fs::remove(folder / "lost", ec);  // only when nothing else is in it
    {
        auto store = open(folder);
        if (!store) return store.error();
        store->db->CompactRange(nullptr, nullptr);
    }
    if (auto again = open(folder); !again) return again.error();
    return {};
}

}  // namespace

bool LevelDbSites::isSite(std::string_view origin) {
    for (std::string_view scheme : {"http://", "https://"})
        if (startsWith(origin, scheme) && origin.size() > scheme.size()) return true;
    return false;
}

LevelDbSites::Parsed LevelDbSites::parse(Kind kind, std::string_view key, std::string_view value) {
    Parsed p;
    if (kind == Kind::LocalStorage) {
        if (key == "VERSION") {
            p.role = Parsed::Role::Store;
        } else if (startsWith(key, "METAACCESS:") || startsWith(key, "META:")) {
            p.origin = originOf(key.substr(key.find(':') + 1));
            p.role = Parsed::Role::Meta;
        } else if (startsWith(key, "_") && key.find('\0') != std::string_view::npos) {
            p.origin = originOf(key.substr(1, key.find('\0') - 1));
            p.role = Parsed::Role::Value;
        }
        return p;
    }
    if (key == "version" || key == "next-map-id") {
        p.role = Parsed::Role::Store;
    } else if (startsWith(key, "namespace-")) {
        const auto rest = key.substr(std::string_view("namespace-").size());
        if (rest.size() > kNamespaceIdLength + 1 && rest[kNamespaceIdLength] == '-') {
            p.origin = originOf(rest.substr(kNamespaceIdLength + 1));
            if (digits(value)) p.map = std::string(value);
            p.role = Parsed::Role::Tab;
        }
    } else if (startsWith(key, "map-")) {
        const auto rest = key.substr(std::string_view("map-").size());
        const auto dash = rest.find('-');
        if (dash != std::string_view::npos && digits(rest.substr(0, dash))) {
            p.map = std::string(rest.substr(0, dash));
            p.role = Parsed::Role::Value;
        }
    }
    return p;
}

platform::Result<LevelDbSites::Found> LevelDbSites::find(const fs::path& folder, Kind kind, const Goes& goes) {
    Found found;
    found.folder = folder;
    found.kind = kind;
    std::error_code ec;
    const auto st = fs::symlink_status(folder, ec);
    if (!fs::exists(st) && !fs::is_symlink(st)) return found;
    if (auto ok = checkFolder(folder); !ok) return ok.error();
    if (!fs::exists(folder / "CURRENT", ec)) {
        if (!holdsData(folder)) return found;
        return platform::Error{EIO, "open: damaged (its CURRENT file is missing)"};
    }
    auto store = open(folder);
    if (!store) return store.error();

    const auto take = [&](std::string_view key, std::string_view value, bool isValue, const std::string& origin) {
        found.keys.emplace_back(key);
        found.bytes += key.size() + value.size();
        if (isValue) ++found.items;
        if (!origin.empty()) found.origins.insert(origin);
    };
    // Session Storage: whether each map is pointed to by a tab entry that stays or by one that goes.
    struct Refs {
        bool going = false, staying = false;
    };
    std::map<std::string, Refs, std::less<>> maps;

    std::unique_ptr<leveldb::Iterator> it(store->db->NewIterator(reading()));
    for (it->SeekToFirst(); it->Valid(); it->Next()) {
        const auto key = view(it->key()), value = view(it->value());
        const auto p = parse(kind, key, value);
        const bool site = isSite(p.origin);
        const bool go = site && goes(p.origin);
        if (site && !go) found.keptOrigins.insert(p.origin);
        if (kind == Kind::LocalStorage) {
            if (go) take(key, value, p.role == Parsed::Role::Value, p.origin);
        } else if (p.role == Parsed::Role::Tab) {
            // A tab entry whose map cannot be read leaves every map as it is, but still goes itself.
            if (!p.map.empty()) (go ? maps[p.map].going : maps[p.map].staying) = true;
            if (go) take(key, value, false, p.origin);
        }
    }
    if (!it->status().ok()) return failure(folder, "read", it->status());
    if (kind == Kind::SessionStorage) {
        // Maps sort before the tab entries, so a second pass takes those whose every tab goes;
        // a map no tab points to cannot be told whose it is and stays.
        for (it->SeekToFirst(); it->Valid(); it->Next()) {
            const auto key = view(it->key());
            if (!startsWith(key, "map-")) continue;
            const auto p = parse(kind, key, {});
            const auto m = maps.find(p.map);
            if (p.role == Parsed::Role::Value && m != maps.end() && m->second.going && !m->second.staying)
                take(key, view(it->value()), true, {});
        }
        if (!it->status().ok()) return failure(folder, "read", it->status());
    }
    return found;
}

platform::Status LevelDbSites::remove(const Found& found) {
    if (found.keys.empty()) return {};
    const fs::path& folder = found.folder;
    if (auto ok = checkFolder(folder); !ok) return ok;
    // The files written before the removal: afterwards none may still hold what was removed.
    std::vector<std::pair<fs::path, FileKind>> before;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec))
        if (const auto k = kindOf(platform::utf8Of(e.path().filename())); k != FileKind::Other)
            before.emplace_back(e.path(), k);
    if (ec) return platform::Error{ec.value(), ec.message()};

    const std::set<std::string> removed(found.keys.begin(), found.keys.end());
    {
        auto store = open(folder);
        if (!store) return store.error();
        leveldb::WriteBatch batch;
        for (const auto& k : found.keys) batch.Delete(k);
        leveldb::WriteOptions w;
        w.sync = true;
        if (auto s = store->db->Write(w, &batch); !s.ok()) return failure(folder, "remove", s);
        // Every level rewritten: the removed values are dropped with the deletions that hide
        // them, and the log that held them is retired.
        store->db->CompactRange(nullptr, nullptr);
        std::string value;
        for (const auto& k : found.keys) {
            const auto s = store->db->Get(reading(), k, &value);
            if (!s.IsNotFound())
                return platform::Error{
                    EIO, "remove: an entry is still there" + (s.ok() ? std::string() : " (" + s.ToString() + ")")};
        }
    }
    if (auto s = rewriteFileList(folder); !s) return s;
    for (const auto& [file, kind] : before) {
        if (!fs::exists(fs::symlink_status(file, ec))) continue;
        if (kind != FileKind::Table)
            return platform::Error{EIO,
                                   platform::utf8Of(file.filename()) + ": still there after the store was compacted"};
        auto holds = tableHolds(file, removed);
        if (!holds) return holds.error();
        if (*holds) return platform::Error{EIO, platform::utf8Of(file.filename()) + ": still holds removed entries"};
    }
    return {};
}

}  // namespace quenvor::cleaning::formats
