#pragma once
// The console program run in this process, in a made-up home: what it printed and its exit
// code, for the tests of its commands. Nothing reaches the real user's home or settings.
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cleaning/formats/JsonValue.h"
#include "cli/Cli.h"
#include "platform/EmbeddedStringResource.h"
#include "platform/NativePlatform.h"
#include "platform/PendingDeletionList.h"
#include "support/FakeHome.h"
#include "support/TempDir.h"

namespace quenvor::test {

class CliRig : public FakeHome {
public:
    struct Ran {
        int code = -1;
        std::string out, err;
        // The report of --json, or null when stdout was no JSON.
        std::optional<cleaning::formats::JsonValue> json() const { return cleaning::formats::JsonValue::parse(out); }
    };
    platform::EmbeddedStringResource strings;
    std::unique_ptr<platform::IRandomSource> random = platform::NativePlatform::makeRandomSource();
    platform::IStorageProbe* probe = nullptr;
    // Null unless a test wipes the free space of an image of its own: never the host's disk.
    platform::IFreeSpace* freeSpace = nullptr;
    // Its folder is the state folder, where a wipe records its fill.
    platform::PendingDeletionList pending{dir / "state/quenvor/pending-deletions"};

    Ran run(const std::vector<std::string>& args) {
        platform::PlatformServices native;
        native.files = &files;
        native.registry = &registry;
        native.folders = &folders;
        native.profiles = &ini;
        native.processes = &processes;
        native.strings = &strings;
        native.random = random.get();
        native.storageProbe = probe;
        native.freeSpace = freeSpace;
        native.pending = &pending;
        std::ostringstream out, err;
        Ran r;
        r.code = cli::Cli(native).run(args, {out, err, nullptr});
        r.out = out.str();
        r.err = err.str();
        return r;
    }
    // The settings file as the Qt window writes it.
    void settings(const std::string& lines) { TempDir::write(home / ".config/QUENVOR/QUENVOR.conf", lines); }
};

// The members of `items` of a report whose `key` is `value`.
inline std::vector<const cleaning::formats::JsonValue*> itemsWhere(const cleaning::formats::JsonValue& report,
                                                                   const std::string& key, const std::string& value) {
    std::vector<const cleaning::formats::JsonValue*> found;
    if (const auto* items = report.member("items"))
        for (const auto& i : items->items())
            if (const auto* m = i.member(key); m && m->text() == value) found.push_back(&i);
    return found;
}

}  // namespace quenvor::test
