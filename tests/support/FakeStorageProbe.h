#pragma once
// A storage probe that answers what the test scripts, and records what it was asked.
#include <deque>
#include <map>
#include <optional>
#include <vector>

#include "platform/IStorageProbe.h"

namespace quenvor::test {

class FakeStorageProbe : public platform::IStorageProbe {
public:
    platform::StorageVerdict verdict;                                  // examine's answer
    std::deque<platform::StorageVerdict> queued;                       // examine's next answers, before `verdict`
    std::optional<platform::Error> examineFails;                       // examine's answer instead, when set
    std::optional<platform::StorageVerdict> afterPasses;               // verify's; unset: `before`
    std::map<std::filesystem::path, platform::StorageVerdict> byPath;  // examinePath's; else `verdict`
    platform::DeviceKind drive;
    std::map<std::string, platform::Result<platform::FileLayer>> layers;  // layerOf's, by name; else Own
    std::vector<std::intptr_t> examined;
    std::vector<std::intptr_t> verified;

    static platform::StorageVerdict mayRemain(platform::RemainReason r) {
        platform::StorageVerdict v;
        v.outcome = platform::OverwriteOutcome::MayRemain;
        v.reason = r;
        return v;
    }

    platform::Result<platform::StorageVerdict> examine(std::intptr_t nativeHandle) override {
        examined.push_back(nativeHandle);
        if (examineFails) return *examineFails;
        if (!queued.empty()) {
            auto v = queued.front();
            queued.pop_front();
            return v;
        }
        return verdict;
    }
    platform::StorageVerdict verify(std::intptr_t nativeHandle, const platform::StorageVerdict& before) override {
        verified.push_back(nativeHandle);
        return afterPasses ? *afterPasses : before;
    }
    platform::Result<platform::StorageVerdict> examinePath(const std::filesystem::path& p) override {
        auto it = byPath.find(p);
        return it != byPath.end() ? it->second : verdict;
    }
    platform::DeviceKind device(const std::filesystem::path&) override { return drive; }
    platform::Result<platform::FileLayer> layerOf(std::intptr_t, const std::string& name) override {
        auto it = layers.find(name);
        return it != layers.end() ? it->second : platform::FileLayer::Own;
    }
};

}  // namespace quenvor::test
