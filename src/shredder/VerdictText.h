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
