#include "shredder/OverwriteCheck.h"

#include "platform/IFileService.h"
#include "shredder/cPattern.h"

namespace quenvor::shredder {

using platform::OverwriteOutcome;
using platform::RemainReason;

void OverwriteCheck::attachTo(cPattern& engine) {
    engine.setOpenFileChecks([this](platform::IWritableFile& f, StorageNote& n) { beforeFirstPass(f, n); },
                             [this](platform::IWritableFile& f, StorageNote& n) { afterLastPass(f, n); });
    engine.setLayerCheck([this](platform::IDirectory& folder, const std::string& name) {
        return m_probe ? m_probe->layerOf(folder.nativeHandle(), name)
                       : platform::Result<platform::FileLayer>(platform::FileLayer::Own);
    });
}

StorageNote OverwriteCheck::noteOf(const platform::StorageVerdict& v) {
    StorageNote n;
    n.outcome = v.outcome;
    n.reason = v.reason;
    if (v.outcome == OverwriteOutcome::MayRemain && v.reason == RemainReason::None)
        n.reason = RemainReason::Unverifiable;
    n.unchecked = v.inPlace() && !v.unverified.empty();
    return n;
}

void OverwriteCheck::beforeFirstPass(platform::IWritableFile& file, StorageNote& note) {
    m_before.reset();
    if (!m_probe) return;
    auto v = m_probe->examine(file.nativeHandle());
    if (!v) {
        // Nothing known about where the data lies is no ground for promising it is gone.
        note.outcome = OverwriteOutcome::MayRemain;
        note.reason = RemainReason::Unverifiable;
        return;
    }
    m_before = *v;
    note = noteOf(*v);
}

void OverwriteCheck::afterLastPass(platform::IWritableFile& file, StorageNote& note) {
    if (!m_probe || !m_before) return;
    const StorageNote after = noteOf(m_probe->verify(file.nativeHandle(), *m_before));
    // The check after the passes can only add doubt, never take it away.
    if (after.mayRemain() || !note.mayRemain()) note = after;
    m_before.reset();
}

}  // namespace quenvor::shredder
