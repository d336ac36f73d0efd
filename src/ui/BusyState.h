#pragma once
// One busy state for the whole window: which long runs are going on, so that the end of one
// run never re-enables a button another run still needs disabled.
namespace quenvor::ui {

class BusyState {
public:
    enum class Run { Shred = 1, Cleaning = 2 };
    void begin(Run r) { m_runs |= static_cast<int>(r); }
    void end(Run r) { m_runs &= ~static_cast<int>(r); }
    bool running(Run r) const { return (m_runs & static_cast<int>(r)) != 0; }
    bool any() const { return m_runs != 0; }

private:
    int m_runs = 0;
};

}  // namespace quenvor::ui
