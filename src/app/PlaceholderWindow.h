#pragma once

#include <QMdiSubWindow>

namespace vm {

// Stands in for a window that is not built yet, so the menus that open it can be used and tested.
class PlaceholderWindow : public QMdiSubWindow {
    Q_OBJECT
public:
    PlaceholderWindow(const QString& name, const QString& caption, QWidget* parent = nullptr);
};

} // namespace vm
