#pragma once
#include <QWidget>

namespace quenvor::window {

// The coloured band down the window's left side, with the program's mark and name.
class SideBand : public QWidget {
    Q_OBJECT
public:
    explicit SideBand(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace quenvor::window
