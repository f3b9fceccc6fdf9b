#pragma once

#include "badge/BadgeDocument.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QGroupBox;
class QLineEdit;
class QSpinBox;

namespace vm {

// The rows of the settings panel that fit a comment's or field's text into its frame, and a
// field's value format and hide condition. Every change is one undo step of the document (typing
// into one box is one step).
class FitFormatRows : public QWidget {
    Q_OBJECT
public:
    explicit FitFormatRows(BadgeDocument& document, QWidget* parent = nullptr);

    // Shows the element's values, or hides the rows for an element without text.
    void showElement(BadgeSideId side, ElementRef element);
    void refresh();
    // The columns a condition can name, as "Table.Column".
    void setColumns(const QStringList& columns);

    QGroupBox* grpFit;
    QComboBox* cmbFitMode;
    QDoubleSpinBox* spnMinSize;
    QSpinBox* spnMaxLines;
    QCheckBox* chkEllipsis;
    QComboBox* cmbAlignH;
    QComboBox* cmbAlignV;

    QGroupBox* grpFormat;
    QComboBox* cmbDateFormat;
    QSpinBox* spnDecimals;
    QCheckBox* chkThousands;
    QComboBox* cmbCase;
    QLineEdit* txtPrefix;
    QLineEdit* txtSuffix;
    QComboBox* cmbHideColumn;
    QComboBox* cmbHideTest;
    QLineEdit* txtHideValue;

Q_SIGNALS:
    // The element's drawn size may have changed (a mode that sizes the text or keeps the frame).
    void reselect();

private:
    void build();
    void connectRows();
    void fill();
    void setFitRowsEnabled(bool fitted);
    // Applies change to a copy of the comment or field and hands it to the document.
    template <class F> void edit(const QString& text, F&& change, quint64 mergeKey = 0);

    BadgeDocument& m_document;
    BadgeSideId m_side = BadgeSideId::Front;
    ElementRef m_element;
    quint64 m_typingKey = 0;
    bool m_filling = false;
};

} // namespace vm
