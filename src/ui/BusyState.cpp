#include "ui/BusyState.h"

#include "ui/Guarded.h"
#include "ui/IFormView.h"

namespace quenvor::ui {

void BusyState::beginRun(Run r, IFormView& view) {
    begin(r);
    // A control the window cannot update must not keep the run from starting.
    for (const char* b : kStartButtons) guarded([&] { view.setEnabled(b, false); });
}

void BusyState::endRun(Run r, IFormView& view) {
    end(r);
    if (any()) return;
    for (const char* b : kStartButtons) guarded([&] { view.setEnabled(b, true); });
}

}  // namespace quenvor::ui
