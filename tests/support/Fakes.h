#pragma once
// Small stand-ins for platform services.
#include <filesystem>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "platform/IDocumentOpener.h"
#include "platform/IKnownFolders.h"
#include "platform/ISettingsStore.h"

namespace quenvor::test {

class MemorySettingsStore : public platform::ISettingsStore {
public:
    std::map<std::string, std::string> values;  // "APP/SECTION/KEY" -> value
    std::vector<std::string> writes;            // keys in the order written
    bool failWrites = false;

    std::string read(const std::string& app, const std::string& section, const std::string& key,
                     const std::string& fallback) override {
        auto it = values.find(app + "/" + section + "/" + key);
        return it == values.end() ? fallback : it->second;
    }
    platform::Status write(const std::string& app, const std::string& section, const std::string& key,
                           const std::string& value) override {
        if (failWrites) return platform::Error{28, "No space left on device"};
        values[app + "/" + section + "/" + key] = value;
        writes.push_back(key);
        return {};
    }
};

class RecordingOpener : public platform::IDocumentOpener {
public:
    std::vector<std::pair<std::string, std::uintptr_t>> opened;
    bool fails = false;  // as a desktop with no program for the document
    platform::Status open(const std::string& address, std::uintptr_t owner) override {
        opened.emplace_back(address, owner);
        if (fails) return platform::Error{31, "no program is associated with it"};
        return platform::Status::success();
    }
};

class FixedFolders : public platform::IKnownFolders {
public:
    std::filesystem::path program = "/opt/quenvor";
    std::filesystem::path home = "/home/user";
    std::filesystem::path exe;
    std::filesystem::path programFolder() override { return program; }
    std::filesystem::path programFile() override { return exe; }
    std::filesystem::path temporaryFolder() override { return "/tmp"; }
    std::filesystem::path homeFolder() override { return home; }
    std::filesystem::path configHome() override { return home / ".config"; }
    std::filesystem::path cacheHome() override { return home / ".cache"; }
    std::filesystem::path dataHome() override { return home / ".local/share"; }
    std::filesystem::path stateHome() override { return home / ".local/state"; }
    std::filesystem::path chromeConfigHome() override { return {}; }
};

}  // namespace quenvor::test
