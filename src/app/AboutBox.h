#pragma once

#include <QDialog>
#include <QIcon>

namespace vm {

// The program's icon in every size it ships.
QIcon applicationIcon();

// Help ▸ About: the version, and the licences of the libraries the program links.
class AboutBox : public QDialog {
    Q_OBJECT
public:
    explicit AboutBox(QWidget* parent = nullptr);
};

} // namespace vm
