#pragma once
#include <QWidget>

namespace quenvor::window {

// The four tab strips, held as one tab list: a stop in the keyboard order whose arrows move
// between the pages, and a page tab list of four named tabs to a screen reader (the strips'
// own pictures and captions, drawn four times over, are not read). The page logic still
// raises the strips and answers their clicks.
class PageTabs : public QWidget {
    Q_OBJECT
public:
    explicit PageTabs(QWidget* parent = nullptr);

    int current() const { return m_current; }  // the page shown, 1 to kTabCount
    void setCurrent(int page);
    // The caption of tab `page` as it is shown, without its marks.
    QString tabName(int page) const;
    // Where tab `page` lies on the strip in front, in this widget's coordinates.
    QRect tabRect(int page) const;

signals:
    // A key or a screen reader asks for page `page`.
    void pageRequested(int page);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void showFocus(bool shown);
    void tellCurrent();

    int m_current = 1;
};

}  // namespace quenvor::window
