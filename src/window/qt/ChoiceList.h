#pragma once
#include <QComboBox>

namespace quenvor::window {

// A drop-down list of the window (the language, the erase method). The wheel only turns a
// list the user has focused, so scrolling over the page never picks an item by accident;
// the text shown before any pick is drawn as the list's own text, not as a faint hint.
class ChoiceList : public QComboBox {
    Q_OBJECT
public:
    explicit ChoiceList(QWidget* parent = nullptr);

protected:
    void wheelEvent(QWheelEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void matchHintToText();
};

}  // namespace quenvor::window
