#pragma once
#include <QCheckBox>

namespace quenvor::window {

// A cleaning option: clear, ticked, or greyed. Only a stored value greys it; a click toggles
// between clear and ticked, so a greyed box is ticked by its first click.
class OptionBox : public QCheckBox {
    Q_OBJECT
public:
    explicit OptionBox(const QString& text, QWidget* parent = nullptr);

protected:
    void nextCheckState() override;
};

}  // namespace quenvor::window
