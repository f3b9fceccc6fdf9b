#include "app/PlaceholderWindow.h"

#include <QLabel>

namespace vm {

PlaceholderWindow::PlaceholderWindow(const QString& name, const QString& caption, QWidget* parent)
    : QMdiSubWindow(parent)
{
    setObjectName(name);
    setWindowTitle(caption);
    auto* label = new QLabel(tr("This window comes with a later version of Vellumark."), this);
    label->setAlignment(Qt::AlignCenter);
    label->setMargin(24);
    setWidget(label);
}

} // namespace vm
