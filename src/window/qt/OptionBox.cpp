#include "window/qt/OptionBox.h"

namespace quenvor::window {

OptionBox::OptionBox(const QString& text, QWidget* parent) : QCheckBox(text, parent) { setTristate(true); }

void OptionBox::nextCheckState() { setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked); }

}  // namespace quenvor::window
