#pragma once
// Asks the storage probe, on the open file the passes write, what overwriting it in place can
// achieve, and checks again once the passes are flushed, so that a file whose old bytes may
// still be on the disk is never called permanently deleted. Without a probe every file counts
// as overwritten in place, as on the filesystems the shredder was first written for.
#include <optional>

#include "platform/IStorageProbe.h"
#include "shredder/ShredResult.h"

namespace quenvor::platform {
class IWritableFile;
}

namespace quenvor::shredder {

class cPattern;

class OverwriteCheck {
public:
    explicit OverwriteCheck(platform::IStorageProbe* probe) : m_probe(probe) {}
    // Installs the checks in the engine's hooks, with the question of which overlay layer holds
    // a file before it is opened; the engine must not outlive this.
    void attachTo(cPattern& engine);

    void beforeFirstPass(platform::IWritableFile& file, StorageNote& note);
    void afterLastPass(platform::IWritableFile& file, StorageNote& note);

    static StorageNote noteOf(const platform::StorageVerdict& v);

private:
    platform::IStorageProbe* m_probe;
    std::optional<platform::StorageVerdict> m_before;
};

}  // namespace quenvor::shredder
