#pragma once

#include <QDialog>
#include <QPointF>

class QDoubleSpinBox;
class QPushButton;

namespace vm {

// Asks for one printer's offset in millimetres, with a button that prints the calibration sheet
// to measure it on.
class frmPrinterOffset : public QDialog {
    Q_OBJECT
public:
    frmPrinterOffset(const QString& printerName, QPointF offsetMm, QWidget* parent = nullptr);

    QPointF offsetMm() const;

    QDoubleSpinBox* txtOffsetX;
    QDoubleSpinBox* txtOffsetY;
    QPushButton* cmdCalibrationSheet;

Q_SIGNALS:
    void calibrationSheetRequested();
};

} // namespace vm
