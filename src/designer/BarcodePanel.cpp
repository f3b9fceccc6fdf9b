#include "designer/BarcodePanel.h"

#include "widgets/AccessibleNames.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QSignalBlocker>

namespace vm {
namespace {

constexpr qint16 Angles[] = {0, 90, 180, 270};

// A key for merging the typing of one value into one step, different for every element.
quint64 typingKey(BadgeSideId side, ElementRef element)
{
    return (quint64(0xB4) << 48) | (quint64(side) << 40) | (quint64(element.kind) << 32) |
           quint32(element.index);
}

QString moduleText(float twips)
{
    return twips == 0 ? QStringLiteral("Fit to frame")
                      : QStringLiteral("%1 mm").arg(twips / 1440 * 25.4, 0, 'f', 2);
}

} // namespace

const QList<float>& moduleChoices()
{
    // From the smallest a badge scanner reads reliably up; 0.33 mm is the usual size.
    static const QList<float> choices = [] {
        QList<float> twips{0, SmallestModuleTwips};
        for (double mm : {0.33, 0.38, 0.5, 0.75, 1.0})
            twips << float(mm * 1440 / 25.4);
        return twips;
    }();
    return choices;
}

BarcodePanel::BarcodePanel(BadgeDocument& document, QWidget* parent)
    : QGroupBox(QStringLiteral("Rotation and barcode"), parent)
    , m_document(document)
{
    setObjectName(QStringLiteral("frameBarcode"));
    build();
    connectRows();
    showElement(m_side, std::nullopt);
}

void BarcodePanel::build()
{
    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    cmbRotation = named(new QComboBox, "cmbRotation", QStringLiteral("Rotation"));
    for (qint16 angle : Angles)
        cmbRotation->addItem(QStringLiteral("%1°").arg(angle), int(angle));
    form->addRow(QStringLiteral("Rotation:"), cmbRotation);

    chkBarcode = named(new QCheckBox(QStringLiteral("Show the field as a barcode")),
                       "chkBarcode", QStringLiteral("Show the field as a barcode"));
    form->addRow(chkBarcode);
    cmbSymbology = named(new QComboBox, "cmbSymbology", QStringLiteral("Barcode symbology"));
    for (const SymbologyInfo& info : symbologies())
        cmbSymbology->addItem(info.name, int(info.id));
    form->addRow(QStringLiteral("Symbology:"), cmbSymbology);
    txtBarcodeValue = named(new QLineEdit, "txtBarcodeValue", QStringLiteral("Barcode value"));
    txtBarcodeValue->setToolTip(QStringLiteral(
        "A field reference such as <Employee.EmpNo>, a fixed text, or both: "
        "<Employee.EmpNo>-<Employee.DeptID>"));
    form->addRow(QStringLiteral("Value:"), txtBarcodeValue);
    chkHumanReadable = named(new QCheckBox(QStringLiteral("Text under the code")),
                             "chkHumanReadable", QStringLiteral("Text under the code"));
    chkQuietZone = named(new QCheckBox(QStringLiteral("Quiet zone")), "chkQuietZone",
                         QStringLiteral("Quiet zone around the code"));
    auto* flags = new QHBoxLayout;
    flags->addWidget(chkHumanReadable);
    flags->addWidget(chkQuietZone);
    form->addRow(flags);
    cmbErrorCorrection =
        named(new QComboBox, "cmbErrorCorrection", QStringLiteral("Error correction level"));
    form->addRow(QStringLiteral("Error correction:"), cmbErrorCorrection);
    cmbModule = named(new QComboBox, "cmbModule", QStringLiteral("Module size"));
    for (float twips : moduleChoices())
        cmbModule->addItem(moduleText(twips), double(twips));
    form->addRow(QStringLiteral("Module:"), cmbModule);
}

template <class F> void BarcodePanel::edit(const QString& text, F&& change, quint64 mergeKey)
{
    if (!m_element || m_filling)
        return;
    const std::optional<Element> before = m_document.side(m_side).element(*m_element);
    if (!before)
        return;
    Element value = *before;
    std::visit(change, value);
    m_document.changeElement(m_side, *m_element, value, text, mergeKey);
    Q_EMIT reselect();
}

void BarcodePanel::editBarcode(const QString& text, const std::function<void(Barcode&)>& change)
{
    edit(text, [&](auto& e) {
        if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Field>) {
            if (e.barcode)
                change(*e.barcode);
        }
    });
}

void BarcodePanel::connectRows()
{
    connect(cmbRotation, &QComboBox::activated, this, [this](int index) {
        const qint16 degrees = qint16(cmbRotation->itemData(index).toInt());
        edit(QStringLiteral("Rotation"), [&](auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (std::is_base_of_v<Comment, T> || std::is_same_v<T, Logo>)
                e.rotation.degrees = degrees;
        });
    });
    connect(chkBarcode, &QCheckBox::clicked, this, [this](bool on) {
        edit(on ? QStringLiteral("Barcode") : QStringLiteral("No Barcode"), [&](auto& e) {
            if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Field>) {
                if (on) {
                    e.barcode = Barcode();
                    e.AutoSize = false; // the code fills the frame
                } else {
                    e.barcode.reset();
                }
            }
        });
        refresh();
    });
    connect(cmbSymbology, &QComboBox::activated, this, [this](int index) {
        const auto symbology = Symbology(cmbSymbology->itemData(index).toInt());
        editBarcode(QStringLiteral("Symbology"), [&](Barcode& b) {
            b.symbology = symbology;
            b.errorCorrection =
                qint16(std::min<int>(b.errorCorrection, symbologyInfo(symbology).maxErrorCorrection));
        });
        refresh();
    });
    connect(txtBarcodeValue, &QLineEdit::textEdited, this, [this](const QString& text) {
        edit(
            QStringLiteral("Barcode Value"),
            [&](auto& e) {
                if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Field>)
                    e.Caption = text;
            },
            m_element ? typingKey(m_side, *m_element) : 0);
    });
    connect(chkHumanReadable, &QCheckBox::clicked, this, [this](bool on) {
        editBarcode(QStringLiteral("Text under the Code"), [&](Barcode& b) { b.humanReadable = on; });
    });
    connect(chkQuietZone, &QCheckBox::clicked, this, [this](bool on) {
        editBarcode(QStringLiteral("Quiet Zone"), [&](Barcode& b) { b.quietZone = on; });
    });
    connect(cmbErrorCorrection, &QComboBox::activated, this, [this](int index) {
        const qint16 level = qint16(cmbErrorCorrection->itemData(index).toInt());
        editBarcode(QStringLiteral("Error Correction"), [&](Barcode& b) { b.errorCorrection = level; });
    });
    connect(cmbModule, &QComboBox::activated, this, [this](int index) {
        const float twips = float(cmbModule->itemData(index).toDouble());
        editBarcode(QStringLiteral("Module Size"), [&](Barcode& b) { b.moduleTwips = twips; });
    });
}

void BarcodePanel::fillErrorCorrection(Symbology symbology, int level)
{
    cmbErrorCorrection->clear();
    cmbErrorCorrection->addItem(QStringLiteral("Default"), 0);
    static const char* const QrLevels[] = {"L (7 %)", "M (15 %)", "Q (25 %)", "H (30 %)"};
    static const char* const AztecLevels[] = {"10 %", "23 %", "36 %", "50 %"};
    for (int i = 1; i <= symbologyInfo(symbology).maxErrorCorrection; ++i) {
        const QString name = symbology == Symbology::QrCode ? QLatin1String(QrLevels[i - 1])
                             : symbology == Symbology::Aztec
                                 ? QLatin1String(AztecLevels[i - 1])
                                 : QStringLiteral("Level %1").arg(i - 1);
        cmbErrorCorrection->addItem(name, i);
    }
    cmbErrorCorrection->setCurrentIndex(std::max(0, cmbErrorCorrection->findData(level)));
}

void BarcodePanel::showElement(BadgeSideId side, std::optional<ElementRef> element)
{
    m_side = side;
    m_element = element;
    refresh();
}

void BarcodePanel::refresh()
{
    m_filling = true;
    const std::optional<Element> value =
        m_element ? m_document.side(m_side).element(*m_element) : std::nullopt;
    const auto* field = value ? std::get_if<Field>(&*value) : nullptr;
    const auto* comment = value ? std::get_if<Comment>(&*value) : nullptr;
    const auto* logo = value ? std::get_if<Logo>(&*value) : nullptr;
    const Rotation rotation = field     ? field->rotation
                              : comment ? comment->rotation
                              : logo    ? logo->rotation
                                        : Rotation();
    cmbRotation->setEnabled(field || comment || logo);
    cmbRotation->setCurrentIndex(std::max(0, cmbRotation->findData(int(rotation.degrees))));
    chkBarcode->setEnabled(field != nullptr);
    chkBarcode->setChecked(field && field->barcode);
    const bool code = field && field->barcode;
    for (QWidget* row : std::initializer_list<QWidget*>{cmbSymbology, txtBarcodeValue,
                                                        chkHumanReadable, chkQuietZone,
                                                        cmbErrorCorrection, cmbModule})
        row->setEnabled(code);
    if (code) {
        const Barcode& b = *field->barcode;
        cmbSymbology->setCurrentIndex(cmbSymbology->findData(int(b.symbology)));
        if (!txtBarcodeValue->hasFocus() || txtBarcodeValue->text() != field->Caption)
            txtBarcodeValue->setText(field->Caption);
        chkHumanReadable->setChecked(b.humanReadable);
        chkHumanReadable->setEnabled(!symbologyInfo(b.symbology).twoDimensional);
        chkQuietZone->setChecked(b.quietZone);
        fillErrorCorrection(b.symbology, b.errorCorrection);
        cmbErrorCorrection->setEnabled(symbologyInfo(b.symbology).maxErrorCorrection > 0);
        int module = cmbModule->findData(double(b.moduleTwips));
        if (module < 0) {
            cmbModule->addItem(moduleText(b.moduleTwips), double(b.moduleTwips));
            module = cmbModule->count() - 1;
        }
        cmbModule->setCurrentIndex(module);
    } else {
        txtBarcodeValue->clear();
    }
    m_filling = false;
}

} // namespace vm
