#pragma once
// The words for what the storage probe found. The platform reports kinds only; which text of
// the string table tells the user about each kind is the shredder's choice.
#include "platform/IStorageProbe.h"
#include "text/TextIds.h"

namespace quenvor::shredder {

// The one-line reason why old contents may remain, as it follows a file's name. A verdict
// without a reason gets the words for "could not find out where the data is kept".
int textFor(platform::RemainReason r);

}  // namespace quenvor::shredder

// The names the shredder page used while the texts lived in the platform interface; they go
// once the page calls textFor and names its texts from quenvor::text.
namespace quenvor::platform {
namespace storage_text {
inline constexpr int kLowerLayerKept = text::RemainLowerLayer;
inline constexpr int kLayerUnknown = text::ReasonLayerUnknown;
inline constexpr int kFileMayRemain = text::MayRemainFileHeading;
inline constexpr int kFolderMayRemain = text::MayRemainFolderHeading;
inline constexpr int kCountMayRemain = text::MayRemainCount;
inline constexpr int kCountMayRemainOne = text::MayRemainCountOne;
inline constexpr int kConfirmNote = text::MayRemainConfirmNote;
inline constexpr int kNotChecked = text::PassesNotChecked;
}  // namespace storage_text
inline int remainReasonTextId(RemainReason r) { return r == RemainReason::None ? 0 : shredder::textFor(r); }
}  // namespace quenvor::platform
