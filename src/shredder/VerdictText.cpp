#include "shredder/VerdictText.h"

namespace quenvor::shredder {

int textFor(platform::RemainReason r) {
    using platform::RemainReason;
    switch (r) {
        case RemainReason::CopyOnWrite:
            return text::RemainCopyOnWrite;
        case RemainReason::SharedExtents:
            return text::RemainSharedExtents;
        case RemainReason::Journal:
            return text::RemainJournal;
        case RemainReason::NetworkOrUserSpace:
            return text::RemainNetworkOrUserSpace;
        case RemainReason::Overlay:
            return text::RemainOverlay;
        case RemainReason::Stacked:
            return text::RemainStacked;
        case RemainReason::Compressed:
            return text::RemainCompressed;
        case RemainReason::Moved:
            return text::RemainMoved;
        case RemainReason::LowerLayer:
            return text::RemainLowerLayer;
        case RemainReason::None:
        case RemainReason::Unverifiable:
            break;
    }
    return text::RemainUnverifiable;
}

}  // namespace quenvor::shredder
