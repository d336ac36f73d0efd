#pragma once
// One busy state for the whole window: which long runs are going on, so that the end of one
// run never re-enables a button another run still needs disabled.
#include <array>

namespace quenvor::ui {

class IFormView;

class BusyState {
public:
    enum class Run { Shred = 1, Cleaning = 2 };

    // The buttons that start a run: disabled while any run goes on, so none starts twice.
    static constexpr std::array<const char*, 3> kStartButtons{"cmdNext", "cmdFile", "cmdFolder"};

    void begin(Run r) { m_runs |= static_cast<int>(r); }
    void end(Run r) { m_runs &= ~static_cast<int>(r); }
    bool running(Run r) const { return (m_runs & static_cast<int>(r)) != 0; }
    bool any() const { return m_runs != 0; }

    // Marks `r` as going on and disables the start buttons.
    void beginRun(Run r, IFormView& view);
    // Marks `r` as over; the start buttons come back only when no other run is going on.
    void endRun(Run r, IFormView& view);

private:
    int m_runs = 0;
};

}  // namespace quenvor::ui
