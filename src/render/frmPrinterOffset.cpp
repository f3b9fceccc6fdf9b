#include "render/frmPrinterOffset.h"

#include "render/PrinterCalibration.h"

#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vm {
namespace {

QDoubleSpinBox* offsetBox(QWidget* parent, const QString& name, double value)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(name);
    box->setRange(-LargestPrinterOffsetMm, LargestPrinterOffsetMm);
    box->setDecimals(1);
    box->setSingleStep(0.1);
    box->setSuffix(QStringLiteral(" mm"));
    box->setValue(value);
    return box;
}

} // namespace

frmPrinterOffset::frmPrinterOffset(const QString& printerName, QPointF offsetMm, QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmPrinterOffset"));
    setWindowTitle(tr("Printer offset"));
    auto* column = new QVBoxLayout(this);
    auto* intro = new QLabel(
        tr("<b>%1</b><br>Print the calibration sheet on a card or a sheet of pre-cut cards. "
           "Where the real card's edge cuts each scale, read the millimetres: the left and right "
           "scales give X, the top and bottom scales give Y. Every print of this printer is then "
           "moved by that much (right and down are positive).")
            .arg(printerName.toHtmlEscaped()),
        this);
    intro->setWordWrap(true);
    column->addWidget(intro);

    auto* form = new QFormLayout;
    txtOffsetX = offsetBox(this, QStringLiteral("txtOffsetX"), offsetMm.x());
    txtOffsetY = offsetBox(this, QStringLiteral("txtOffsetY"), offsetMm.y());
    form->addRow(tr("&X (right):"), txtOffsetX);
    form->addRow(tr("&Y (down):"), txtOffsetY);
    column->addLayout(form);

    cmdCalibrationSheet = new QPushButton(tr("Print &calibration sheet"), this);
    cmdCalibrationSheet->setObjectName(QStringLiteral("cmdCalibrationSheet"));
    column->addWidget(cmdCalibrationSheet);
    connect(cmdCalibrationSheet, &QPushButton::clicked, this,
            &frmPrinterOffset::calibrationSheetRequested);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
}

QPointF frmPrinterOffset::offsetMm() const
{
    return {txtOffsetX->value(), txtOffsetY->value()};
}

} // namespace vm
