#include "designer/FitFormatRows.h"

#include "designer/SettingsPanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>

namespace vm {
namespace {

const ConditionTest Tests[] = {
    ConditionTest::None,           ConditionTest::Equal,   ConditionTest::NotEqual,
    ConditionTest::Less,           ConditionTest::Greater, ConditionTest::LessOrEqual,
    ConditionTest::GreaterOrEqual, ConditionTest::Empty,   ConditionTest::NotEmpty};

template <class W> W* named(W* widget, const char* name, const QString& accessible)
{
    widget->setObjectName(QString::fromLatin1(name));
    widget->setAccessibleName(accessible);
    return widget;
}

Comment* textOf(Element& value)
{
    if (auto* c = std::get_if<Comment>(&value))
        return c;
    return std::get_if<Field>(&value);
}

} // namespace

FitFormatRows::FitFormatRows(BadgeDocument& document, QWidget* parent)
    : QWidget(parent)
    , m_document(document)
{
    build();
    connectRows();
    hide();
}

void FitFormatRows::build()
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);

    grpFit = named(new QGroupBox(QStringLiteral("Fit in frame")), "grpFit",
                   QStringLiteral("Fit in frame"));
    auto* fit = new QFormLayout(grpFit);
    cmbFitMode = named(new QComboBox, "cmbFitMode", QStringLiteral("Fitting"));
    cmbFitMode->addItems({QStringLiteral("As designed"), QStringLiteral("Wrap"),
                          QStringLiteral("Shrink to fit"), QStringLiteral("Wrap and shrink")});
    cmbFitMode->setToolTip(QStringLiteral("As designed: the text sizes itself. Otherwise the "
                                          "frame stays and the text is fitted into it."));
    fit->addRow(QStringLiteral("Fitting:"), cmbFitMode);
    spnMinSize = named(new QDoubleSpinBox, "spnMinSize", QStringLiteral("Smallest size (points)"));
    spnMinSize->setRange(1, 72);
    spnMinSize->setSingleStep(0.5);
    spnMinSize->setDecimals(1);
    spnMinSize->setSuffix(QStringLiteral(" pt"));
    spnMinSize->setKeyboardTracking(false);
    fit->addRow(QStringLiteral("Smallest:"), spnMinSize);
    spnMaxLines = named(new QSpinBox, "spnMaxLines", QStringLiteral("Most lines"));
    spnMaxLines->setRange(0, 99);
    spnMaxLines->setSpecialValueText(QStringLiteral("No limit"));
    spnMaxLines->setKeyboardTracking(false);
    fit->addRow(QStringLiteral("Most lines:"), spnMaxLines);
    chkEllipsis = named(new QCheckBox(QStringLiteral("End with \u2026 what does not fit")),
                        "chkEllipsis", QStringLiteral("End with an ellipsis what does not fit"));
    fit->addRow(chkEllipsis);
    cmbAlignH = named(new QComboBox, "cmbAlignH", QStringLiteral("Horizontal alignment"));
    cmbAlignH->addItems({QStringLiteral("Reading side"), QStringLiteral("Left"),
                         QStringLiteral("Centre"), QStringLiteral("Right")});
    cmbAlignH->setToolTip(QStringLiteral("Reading side: left, or right for right-to-left text"));
    fit->addRow(QStringLiteral("Across:"), cmbAlignH);
    cmbAlignV = named(new QComboBox, "cmbAlignV", QStringLiteral("Vertical alignment"));
    cmbAlignV->addItems(
        {QStringLiteral("Top"), QStringLiteral("Middle"), QStringLiteral("Bottom")});
    fit->addRow(QStringLiteral("Down:"), cmbAlignV);
    layout->addWidget(grpFit);

    grpFormat =
        named(new QGroupBox(QStringLiteral("Value")), "grpFormat", QStringLiteral("Value format"));
    auto* format = new QFormLayout(grpFormat);
    cmbDateFormat = named(new QComboBox, "cmbDateFormat", QStringLiteral("Date format"));
    cmbDateFormat->setEditable(true);
    cmbDateFormat->setInsertPolicy(QComboBox::NoInsert);
    cmbDateFormat->addItem(QString());
    cmbDateFormat->addItems(commonDateFormats());
    cmbDateFormat->setToolTip(QStringLiteral("For a column of dates: d, dd, M, MM, MMM, MMMM, "
                                             "yy, yyyy, hh, mm; empty shows the date as stored"));
    format->addRow(QStringLiteral("Date:"), cmbDateFormat);
    spnDecimals = named(new QSpinBox, "spnDecimals", QStringLiteral("Decimals"));
    spnDecimals->setRange(-1, 10);
    spnDecimals->setSpecialValueText(QStringLiteral("As stored"));
    spnDecimals->setKeyboardTracking(false);
    format->addRow(QStringLiteral("Decimals:"), spnDecimals);
    chkThousands = named(new QCheckBox(QStringLiteral("Thousands separator")), "chkThousands",
                         QStringLiteral("Thousands separator"));
    format->addRow(chkThousands);
    cmbCase = named(new QComboBox, "cmbCase", QStringLiteral("Letter case"));
    cmbCase->addItems(
        {QStringLiteral("As stored"), QStringLiteral("UPPER CASE"), QStringLiteral("lower case")});
    format->addRow(QStringLiteral("Case:"), cmbCase);
    txtPrefix = named(new QLineEdit, "txtPrefix", QStringLiteral("Prefix"));
    txtPrefix->setToolTip(QStringLiteral("Left off when the value is empty"));
    format->addRow(QStringLiteral("Prefix:"), txtPrefix);
    txtSuffix = named(new QLineEdit, "txtSuffix", QStringLiteral("Suffix"));
    txtSuffix->setToolTip(txtPrefix->toolTip());
    format->addRow(QStringLiteral("Suffix:"), txtSuffix);
    cmbHideColumn = named(new QComboBox, "cmbHideColumn", QStringLiteral("Hide when column"));
    cmbHideColumn->setEditable(true);
    cmbHideColumn->setInsertPolicy(QComboBox::NoInsert);
    format->addRow(QStringLiteral("Hide if:"), cmbHideColumn);
    cmbHideTest = named(new QComboBox, "cmbHideTest", QStringLiteral("Hide when test"));
    for (const ConditionTest test : Tests)
        cmbHideTest->addItem(test == ConditionTest::None ? QStringLiteral("(never)")
                                                         : conditionSymbol(test));
    txtHideValue = named(new QLineEdit, "txtHideValue", QStringLiteral("Hide when value"));
    auto* condition = new QHBoxLayout;
    condition->addWidget(cmbHideTest);
    condition->addWidget(txtHideValue, 1);
    format->addRow(condition);
    layout->addWidget(grpFormat);
}

template <class F> void FitFormatRows::edit(const QString& text, F&& change, quint64 mergeKey)
{
    if (m_filling)
        return;
    std::optional<Element> value = m_document.side(m_side).element(m_element);
    if (!value)
        return;
    Comment* comment = textOf(*value);
    if (!comment)
        return;
    const bool sizedItself = comment->sizesItself();
    if constexpr (std::is_invocable_v<F, Comment&>) {
        change(*comment);
    } else if (auto* field = std::get_if<Field>(&*value)) {
        change(*field);
    }
    // Back to sizing itself: the frame follows the text again, as it did before.
    if (!sizedItself && comment->sizesItself())
        fitToText(*comment);
    if (m_document.changeElement(m_side, m_element, *value, text, mergeKey) &&
        sizedItself != comment->sizesItself())
        Q_EMIT reselect();
}

void FitFormatRows::connectRows()
{
    connect(cmbFitMode, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Fitting"), [&](Comment& c) { c.fit.mode = FitMode(index); });
        setFitRowsEnabled(index != 0);
    });
    connect(spnMinSize, &QDoubleSpinBox::valueChanged, this, [this](double size) {
        edit(
            QStringLiteral("Smallest Size"), [&](Comment& c) { c.fit.minimumSize = float(size); },
            m_typingKey + 1);
    });
    connect(spnMaxLines, &QSpinBox::valueChanged, this, [this](int lines) {
        edit(
            QStringLiteral("Most Lines"), [&](Comment& c) { c.fit.maximumLines = lines; },
            m_typingKey + 2);
    });
    connect(chkEllipsis, &QCheckBox::clicked, this, [this](bool on) {
        edit(QStringLiteral("Ellipsis"), [&](Comment& c) { c.fit.ellipsis = on; });
    });
    connect(cmbAlignH, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Alignment"),
             [&](Comment& c) { c.fit.horizontal = HorizontalAlign(index); });
    });
    connect(cmbAlignV, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Alignment"),
             [&](Comment& c) { c.fit.vertical = VerticalAlign(index); });
    });

    connect(cmbDateFormat, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        edit(
            QStringLiteral("Date Format"), [&](Field& f) { f.format.dateFormat = text.trimmed(); },
            m_typingKey + 3);
    });
    connect(spnDecimals, &QSpinBox::valueChanged, this, [this](int decimals) {
        edit(
            QStringLiteral("Decimals"), [&](Field& f) { f.format.decimals = decimals; },
            m_typingKey + 4);
    });
    connect(chkThousands, &QCheckBox::clicked, this, [this](bool on) {
        edit(QStringLiteral("Thousands Separator"), [&](Field& f) { f.format.thousands = on; });
    });
    connect(cmbCase, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Letter Case"),
             [&](Field& f) { f.format.letterCase = LetterCase(index); });
    });
    connect(txtPrefix, &QLineEdit::textEdited, this, [this](const QString& text) {
        edit(
            QStringLiteral("Prefix"), [&](Field& f) { f.format.prefix = text; }, m_typingKey + 5);
    });
    connect(txtSuffix, &QLineEdit::textEdited, this, [this](const QString& text) {
        edit(
            QStringLiteral("Suffix"), [&](Field& f) { f.format.suffix = text; }, m_typingKey + 6);
    });
    connect(cmbHideColumn, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        edit(
            QStringLiteral("Hide Condition"),
            [&](Field& f) { f.format.hideWhen.column = text.trimmed(); }, m_typingKey + 7);
    });
    connect(cmbHideTest, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Hide Condition"),
             [&](Field& f) { f.format.hideWhen.test = Tests[index]; });
    });
    connect(txtHideValue, &QLineEdit::textEdited, this, [this](const QString& text) {
        edit(
            QStringLiteral("Hide Condition"), [&](Field& f) { f.format.hideWhen.value = text; },
            m_typingKey + 8);
    });
}

void FitFormatRows::setColumns(const QStringList& columns)
{
    const QString shown = cmbHideColumn->currentText();
    m_filling = true;
    cmbHideColumn->clear();
    cmbHideColumn->addItems(columns);
    cmbHideColumn->setEditText(shown);
    m_filling = false;
}

void FitFormatRows::showElement(BadgeSideId side, ElementRef element)
{
    m_side = side;
    m_element = element;
    // Keys for typing into each box of this element, apart from every other gesture's.
    m_typingKey = m_document.newMergeKey();
    for (int i = 0; i < 8; ++i)
        m_document.newMergeKey();
    fill();
}

void FitFormatRows::refresh()
{
    fill();
}

void FitFormatRows::setFitRowsEnabled(bool fitted)
{
    for (QWidget* w : std::initializer_list<QWidget*>{spnMinSize, spnMaxLines, chkEllipsis,
                                                      cmbAlignH, cmbAlignV})
        w->setEnabled(fitted);
}

void FitFormatRows::fill()
{
    const BadgeSide& side = m_document.side(m_side);
    // A barcode field draws no text: its own rows say how it fills its frame.
    const bool text =
        side.contains(m_element) &&
        (m_element.kind == ElementKind::Comment ||
         (m_element.kind == ElementKind::Field && !side.lblField.at(m_element.index).barcode));
    setVisible(text);
    if (!text)
        return;
    m_filling = true;
    Element value = *side.element(m_element);
    const Comment& c = *textOf(value);
    cmbFitMode->setCurrentIndex(int(c.fit.mode));
    spnMinSize->setValue(c.fit.minimumSize);
    spnMaxLines->setValue(c.fit.maximumLines);
    chkEllipsis->setChecked(c.fit.ellipsis);
    cmbAlignH->setCurrentIndex(int(c.fit.horizontal));
    cmbAlignV->setCurrentIndex(int(c.fit.vertical));
    setFitRowsEnabled(c.fit.fitsFrame());

    const auto* field = std::get_if<Field>(&value);
    grpFormat->setVisible(field != nullptr);
    if (field) {
        const FieldFormat& f = field->format;
        // The typed text stays as typed while the operator types it.
        if (cmbDateFormat->currentText().trimmed() != f.dateFormat)
            cmbDateFormat->setEditText(f.dateFormat);
        spnDecimals->setValue(f.decimals);
        chkThousands->setChecked(f.thousands);
        cmbCase->setCurrentIndex(int(f.letterCase));
        if (txtPrefix->text() != f.prefix)
            txtPrefix->setText(f.prefix);
        if (txtSuffix->text() != f.suffix)
            txtSuffix->setText(f.suffix);
        if (cmbHideColumn->currentText().trimmed() != f.hideWhen.column)
            cmbHideColumn->setEditText(f.hideWhen.column);
        cmbHideTest->setCurrentIndex(int(
            std::find(std::begin(Tests), std::end(Tests), f.hideWhen.test) - std::begin(Tests)));
        if (txtHideValue->text() != f.hideWhen.value)
            txtHideValue->setText(f.hideWhen.value);
    }
    m_filling = false;
}

} // namespace vm
