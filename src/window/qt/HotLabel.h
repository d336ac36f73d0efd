#pragma once
#include <QLabel>

namespace quenvor::window {

// A transparent label that reports clicks and the pointer moving over it: the tab captions,
// the invisible hot areas over each painted tab, and every other label of the window.
class HotLabel : public QLabel {
    Q_OBJECT
public:
    explicit HotLabel(QWidget* parent = nullptr);

signals:
    void clicked();
    void hovered();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
};

}  // namespace quenvor::window
