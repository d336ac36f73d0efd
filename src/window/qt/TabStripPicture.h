#pragma once
#include <QWidget>

namespace quenvor::window {

// The painted picture of one tab strip: four tabs with the strip's own tab set off.
class TabStripPicture : public QWidget {
    Q_OBJECT
public:
    TabStripPicture(int currentTab, QWidget* parent = nullptr);
    // A focus ring on the strip's own tab, while the tab list has the keyboard.
    void setFocusShown(bool shown);

signals:
    void clicked();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int m_current;  // 0 to 3
    bool m_focusShown = false;
};

}  // namespace quenvor::window
