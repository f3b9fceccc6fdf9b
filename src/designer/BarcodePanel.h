#pragma once

#include "badge/BadgeDocument.h"

#include <QGroupBox>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vm {

// "frameBarcode": the selected element's rotation and, for a field, its barcode: symbology,
// value, human-readable text, quiet zone, error correction and module size. Each change is one
// undo step of the document; the colours are the field's font and back colours.
class BarcodePanel : public QGroupBox {
    Q_OBJECT
public:
    explicit BarcodePanel(BadgeDocument& document, QWidget* parent = nullptr);

    // Shows the element's values and edits it from now on; nothing selected: disabled.
    void showElement(BadgeSideId side, std::optional<ElementRef> element);
    void refresh();

    QComboBox* cmbRotation;
    QCheckBox* chkBarcode;
    QComboBox* cmbSymbology;
    QLineEdit* txtBarcodeValue;
    QCheckBox* chkHumanReadable;
    QCheckBox* chkQuietZone;
    QComboBox* cmbErrorCorrection;
    QComboBox* cmbModule;

Q_SIGNALS:
    void reselect();

private:
    void build();
    void connectRows();
    // Applies change to a copy of the element; one undo step named text.
    template <class F> void edit(const QString& text, F&& change, quint64 mergeKey = 0);
    void editBarcode(const QString& text, const std::function<void(Barcode&)>& change);
    void fillErrorCorrection(Symbology symbology, int level);

    BadgeDocument& m_document;
    BadgeSideId m_side = BadgeSideId::Front;
    std::optional<ElementRef> m_element;
    bool m_filling = false;
};

// The module sizes offered, in twips; 0 fits the code to its frame.
const QList<float>& moduleChoices();

} // namespace vm
