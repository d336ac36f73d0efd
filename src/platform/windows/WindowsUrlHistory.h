#pragma once
// The shell's list of visited addresses (the URL history service, IUrlHistoryStg2).
#include "platform/IUrlHistory.h"

namespace quenvor::platform::windows {

class WindowsUrlHistory : public IUrlHistory {
public:
    // A system without the service (E_NOTIMPL, or the class not registered) has nothing to
    // clear: that is success, not a failure.
    Status clearHistory() override;
};

}  // namespace quenvor::platform::windows
