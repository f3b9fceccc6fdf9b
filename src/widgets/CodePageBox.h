#pragma once

#include "common/TextCodePage.h"

#include <QComboBox>

class QLabel;

namespace vm {

// The list a project's text code page is chosen from (New Project and the wizard): "as before"
// (UTF-8, else Windows-1252) first, then every code page offered. Named "cmbTextCodePage", with
// its label "lblTextCodePage" as buddy for screen readers and the keyboard.
class CodePageBox : public QComboBox {
    Q_OBJECT
public:
    explicit CodePageBox(QWidget* parent = nullptr);

    TextCodePage codePage() const;
    void setCodePage(const TextCodePage& page);
    QLabel* label() const { return m_label; }

private:
    QLabel* m_label;
};

} // namespace vm
