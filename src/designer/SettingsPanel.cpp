#include "designer/SettingsPanel.h"

#include "common/FileNames.h"
#include "common/LegacyNumbers.h"
#include "common/OleColor.h"
#include "common/PictureFiles.h"
#include "designer/FitFormatRows.h"
#include "project/ProjectSettings.h"
#include "render/BadgeRenderer.h"
#include "widgets/CommonDialog.h"
#include "widgets/Dialogs.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include <cmath>

namespace vm {
namespace {

const int FontSizes[] = {6, 7, 8, 9, 10, 11, 12, 14, 16, 18, 20, 24, 28, 32, 36, 48, 72};
enum ColorRole { ForeColorRole, BackColorRole, BorderColorRole };

template <class T> constexpr bool isText = std::is_base_of_v<Comment, T>;

// What the comment or field rows show; other kinds have no font.
const Comment* textOf(const Element& value)
{
    if (const auto* c = std::get_if<Comment>(&value))
        return c;
    return std::get_if<Field>(&value);
}

QString number(float value)
{
    return shortestDecimal(value);
}

// The text in a box, with its list on the entry of that text, so choosing that entry again is a
// choice of it. An editable box shows a text it does not list with no entry chosen; a list that
// cannot be typed into gets the entry, rather than go on showing another element's value.
void showText(QComboBox* box, const QString& text)
{
    if (!box->isEditable() && box->findText(text) < 0)
        box->addItem(text);
    box->setCurrentIndex(box->findText(text));
    if (box->isEditable())
        box->setEditText(text);
}

} // namespace

void fitToText(Comment& text)
{
    if (!text.sizesItself() || !(text.FontSize > 0))
        return;
    const QRectF drawn = drawnRect(text);
    text.Width = float(std::ceil(drawn.width()));
    text.Height = float(std::ceil(drawn.height()));
}

ColorSwatch::ColorSwatch(const QString& caption, QWidget* parent)
    : QLabel(caption, parent)
{
    setAlignment(Qt::AlignCenter);
    setFrameShape(QFrame::Box);
    setAutoFillBackground(true);
    setFocusPolicy(Qt::StrongFocus);
    setAccessibleName(caption);
    setToolTip(caption);
    setMinimumHeight(22);
    paintSwatch();
}

void ColorSwatch::setOleColor(qint32 ole)
{
    m_ole = ole;
    paintSwatch();
}

void ColorSwatch::paintSwatch()
{
    const QColor color = colorFromOle(m_ole);
    QPalette p = palette();
    p.setColor(QPalette::Window,
               isEnabled() ? color : p.color(QPalette::Disabled, QPalette::Button));
    // Dark colours get a light caption, so it stays readable.
    p.setColor(QPalette::WindowText,
               color.lightness() < 128 && isEnabled() ? Qt::white : Qt::black);
    setPalette(p);
}

void ColorSwatch::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        paintSwatch();
    QLabel::changeEvent(event);
}

void ColorSwatch::mouseReleaseEvent(QMouseEvent* event)
{
    QLabel::mouseReleaseEvent(event);
    if (isEnabled() && rect().contains(event->position().toPoint()))
        Q_EMIT clicked();
}

void ColorSwatch::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space || event->key() == Qt::Key_Return) {
        Q_EMIT clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

StackButtons::StackButtons(QWidget* parent)
    : QWidget(parent)
{
    m_up = new QToolButton(this);
    m_up->setObjectName(QStringLiteral("up"));
    m_up->setArrowType(Qt::UpArrow);
    m_up->setToolTip(QStringLiteral("Bring to Front"));
    m_up->setAccessibleName(m_up->toolTip());
    m_down = new QToolButton(this);
    m_down->setObjectName(QStringLiteral("down"));
    m_down->setArrowType(Qt::DownArrow);
    m_down->setToolTip(QStringLiteral("Send to Back"));
    m_down->setAccessibleName(m_down->toolTip());
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addWidget(m_up);
    layout->addWidget(m_down);
    layout->addStretch();
    connect(m_up, &QToolButton::clicked, this, &StackButtons::up);
    connect(m_down, &QToolButton::clicked, this, &StackButtons::down);
}

SettingsPanel::SettingsPanel(BadgeDocument& document, CommonDialog& dialog, Dialogs& dialogs,
                             QWidget* parent)
    : QGroupBox(QStringLiteral("Settings"), parent)
    , m_document(document)
    , m_dialog(dialog)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("frameSettings"));
    build();
    connectRows();
    lockAll();
}

SettingsPanel::~SettingsPanel()
{
    // A box losing the focus while it goes must not edit through a panel that is half gone.
    for (QObject* child : findChildren<QObject*>())
        QObject::disconnect(child, nullptr, this, nullptr);
}

bool SettingsPanel::eventFilter(QObject* watched, QEvent* event)
{
    // Enter in a font box applies what it holds; the box's own handling would first replace
    // a size like 8.25 by the list's 8.
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            if (watched == cmbFontName->lineEdit()) {
                applyFontName(cmbFontName->lineEdit()->text());
                return true;
            }
            if (watched == cmbFontSize->lineEdit()) {
                applyFontSize(cmbFontSize->lineEdit()->text());
                return true;
            }
        }
    }
    return QGroupBox::eventFilter(watched, event);
}

void SettingsPanel::applyFontName(const QString& name)
{
    if (name.isEmpty())
        return;
    edit(QStringLiteral("Font"), [&](auto& e) {
        if constexpr (isText<std::decay_t<decltype(e)>>) {
            e.FontName = name;
            fitToText(e);
        }
    });
    Q_EMIT reselect();
}

void SettingsPanel::applyFontSize(const QString& text)
{
    const float size = leadingFloat(text);
    edit(QStringLiteral("Font Size"), [&](auto& e) {
        if constexpr (isText<std::decay_t<decltype(e)>>) {
            e.FontSize = size;
            fitToText(e);
        }
    });
    Q_EMIT reselect();
}

void SettingsPanel::build()
{
    auto named = [](auto* widget, const char* name, const QString& accessible) {
        widget->setObjectName(QString::fromLatin1(name));
        widget->setAccessibleName(accessible);
        return widget;
    };
    auto* form = new QFormLayout(this);
    form->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);

    lblSpecialField = named(new QLabel(QStringLiteral("Spacial Field")), "lblSpecialField",
                            QStringLiteral("Element"));
    txtSpecialField = named(new QLineEdit, "txtSpecialField", QStringLiteral("Element text"));
    lblSpecialField->setBuddy(txtSpecialField);
    form->addRow(lblSpecialField, txtSpecialField);
    cmdBrowseImage = named(new QPushButton(QStringLiteral("Browse")), "cmdBrowseImage",
                           QStringLiteral("Browse for the logo's picture"));
    form->addRow(QString(), cmdBrowseImage);

    auto geometryBox = [&](const char* name, const QString& caption) {
        QLineEdit* box = named(new QLineEdit, name, caption + QStringLiteral(" (twips)"));
        box->setToolTip(QStringLiteral("Twips (1440 an inch); Enter applies"));
        form->addRow(caption + QStringLiteral(":"), box);
        return box;
    };
    txtLeft = geometryBox("txtLeft", QStringLiteral("Left"));
    txtTop = geometryBox("txtTop", QStringLiteral("Top"));
    txtWidth = geometryBox("txtWidth", QStringLiteral("Width"));
    txtHeight = geometryBox("txtHeight", QStringLiteral("Height"));

    cmbFontName = named(new QComboBox, "cmbFontName", QStringLiteral("Font"));
    cmbFontName->setEditable(true);
    cmbFontName->setInsertPolicy(QComboBox::NoInsert);
    cmbFontName->addItems(QFontDatabase::families());
    form->addRow(QStringLiteral("Font:"), cmbFontName);
    cmbFontSize = named(new QComboBox, "cmbFontSize", QStringLiteral("Font size"));
    cmbFontSize->setEditable(true);
    cmbFontSize->setInsertPolicy(QComboBox::NoInsert);
    for (int size : FontSizes)
        cmbFontSize->addItem(QString::number(size));
    cmbFontSize->setCurrentText(QStringLiteral("10"));
    form->addRow(QStringLiteral("Size:"), cmbFontSize);

    chkBold = named(new QCheckBox(QStringLiteral("Bold")), "chkBold", QStringLiteral("Bold"));
    chkItalic =
        named(new QCheckBox(QStringLiteral("Italic")), "chkItalic", QStringLiteral("Italic"));
    chkUnderline = named(new QCheckBox(QStringLiteral("Underline")), "chkUnderline",
                         QStringLiteral("Underline"));
    auto* styles = new QHBoxLayout;
    styles->addWidget(chkBold);
    styles->addWidget(chkItalic);
    styles->addWidget(chkUnderline);
    form->addRow(styles);

    lblFontColor = named(new ColorSwatch(QStringLiteral("Font Color")), "lblFontColor",
                         QStringLiteral("Font Color"));
    form->addRow(lblFontColor);
    cmbBackStyle = named(new QComboBox, "cmbBackStyle", QStringLiteral("Back style"));
    cmbBackStyle->addItems({QStringLiteral("Transparent"), QStringLiteral("Opaque")});
    form->addRow(QStringLiteral("Back Style:"), cmbBackStyle);
    lblBackColor = named(new ColorSwatch(QStringLiteral("Back Color")), "lblBackColor",
                         QStringLiteral("Back Color"));
    form->addRow(lblBackColor);

    m_borderRow = new QWidget;
    auto* border = new QFormLayout(m_borderRow);
    border->setContentsMargins(0, 0, 0, 0);
    cmbBorderWidth = named(new QComboBox, "cmbBorderWidth", QStringLiteral("Border Width"));
    for (int width = 0; width <= 10; ++width)
        cmbBorderWidth->addItem(QString::number(width));
    border->addRow(QStringLiteral("Border Width:"), cmbBorderWidth);
    lblBorderColor = named(new ColorSwatch(QStringLiteral("Border Color")), "lblBorderColor",
                           QStringLiteral("Border Color"));
    border->addRow(lblBorderColor);
    form->addRow(m_borderRow);

    updown1 = named(new StackButtons, "updown1", QStringLiteral("Stacking order"));
    form->addRow(QStringLiteral("Order:"), updown1);

    fitFormat = named(new FitFormatRows(m_document), "fitFormat", QStringLiteral("Text fitting"));
    form->addRow(fitFormat);
}

void SettingsPanel::connectRows()
{
    auto geometryRow = [this](QLineEdit* box, float ElementGeometry::*member) {
        auto apply = [this, box, member] {
            const float value = leadingFloat(box->text());
            edit(QStringLiteral("Position"), [&](ElementGeometry& g) { g.*member = value; });
            Q_EMIT reselect();
        };
        connect(box, &QLineEdit::returnPressed, this, apply);
        appliedWhenLeft(box, apply);
    };
    geometryRow(txtLeft, &ElementGeometry::Left);
    geometryRow(txtTop, &ElementGeometry::Top);
    geometryRow(txtWidth, &ElementGeometry::Width);
    geometryRow(txtHeight, &ElementGeometry::Height);

    connect(txtSpecialField, &QLineEdit::textEdited, this, [this](const QString& text) {
        if (m_element.kind != ElementKind::Comment)
            return;
        edit(
            QStringLiteral("Caption"),
            [&](auto& e) {
                if constexpr (isText<std::decay_t<decltype(e)>>) {
                    e.Caption = text;
                    fitToText(e);
                }
            },
            m_typingKey);
    });

    // The entry chosen, not the box's text: choosing the entry the box's list stands on already
    // leaves the text of the element shown before in the box.
    connect(cmbFontName, &QComboBox::activated, this,
            [this](int index) { applyFontName(cmbFontName->itemText(index)); });
    connect(cmbFontSize, &QComboBox::activated, this,
            [this](int index) { applyFontSize(cmbFontSize->itemText(index)); });
    for (QComboBox* box : {cmbFontName, cmbFontSize}) {
        box->lineEdit()->installEventFilter(this);
        appliedWhenLeft(box->lineEdit(), [this, box] {
            if (box == cmbFontName)
                applyFontName(box->lineEdit()->text());
            else
                applyFontSize(box->lineEdit()->text());
        });
    }

    auto styleRow = [this](QCheckBox* box, bool Comment::*member, const QString& text) {
        connect(box, &QCheckBox::clicked, this, [this, box, member, text] {
            edit(text, [&](auto& e) {
                if constexpr (isText<std::decay_t<decltype(e)>>) {
                    e.*member = box->isChecked();
                    fitToText(e);
                }
            });
        });
    };
    styleRow(chkBold, &Comment::FontBold, QStringLiteral("Bold"));
    styleRow(chkItalic, &Comment::FontItalic, QStringLiteral("Italic"));
    styleRow(chkUnderline, &Comment::FontUnderline, QStringLiteral("Underline"));

    connect(cmbBackStyle, &QComboBox::activated, this, [this](int index) {
        edit(QStringLiteral("Back Style"), [&](auto& e) {
            using T = std::decay_t<decltype(e)>;
            if constexpr (isText<T> || std::is_same_v<T, Shape>)
                e.BackStyle = qint16(index);
        });
    });
    connect(cmbBorderWidth, &QComboBox::activated, this, [this] {
        const qint16 width = roundToInt16(leadingNumber(cmbBorderWidth->currentText()));
        edit(QStringLiteral("Border Width"), [&](auto& e) {
            if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Shape>)
                e.BorderWidth = width;
        });
    });

    connect(lblFontColor, &ColorSwatch::clicked, this, [this] {
        if (m_element.kind != ElementKind::Comment && m_element.kind != ElementKind::Field)
            return;
        pickColor(lblFontColor, QStringLiteral("Font Color"), ForeColorRole);
        Q_EMIT reselect();
    });
    connect(lblBackColor, &ColorSwatch::clicked, this, [this] {
        if (cmbBackStyle->currentIndex() == 1)
            pickColor(lblBackColor, QStringLiteral("Back Color"), BackColorRole);
    });
    connect(lblBorderColor, &ColorSwatch::clicked, this,
            [this] { pickColor(lblBorderColor, QStringLiteral("Border Color"), BorderColorRole); });
    connect(cmdBrowseImage, &QPushButton::clicked, this, &SettingsPanel::browseImage);
    connect(fitFormat, &FitFormatRows::reselect, this, &SettingsPanel::reselect);

    connect(updown1, &StackButtons::up, this, [this] {
        if (m_document.moveInStack(m_side, m_element, std::numeric_limits<int>::max()))
            Q_EMIT stackingChanged();
    });
    connect(updown1, &StackButtons::down, this, [this] {
        if (m_document.moveInStack(m_side, m_element, 0))
            Q_EMIT stackingChanged();
    });
}

std::optional<Element> SettingsPanel::current() const
{
    return m_document.side(m_side).element(m_element);
}

template <class F> bool SettingsPanel::edit(const QString& text, F&& change, quint64 mergeKey)
{
    const std::optional<Element> before = current();
    if (!before)
        return false;
    Element value = *before;
    std::visit(change, value);
    if (const QString refused = refusedValues(clamped(value));
        !refused.isEmpty() && refusedValues(*before).isEmpty()) {
        MsgBox(m_dialogs, this, refused, MessageButtons::Ok, MessageIcon::Exclamation);
        fill(false); // the boxes show what the element has
        return false;
    }
    return m_document.changeElement(m_side, m_element, value, text, mergeKey);
}

template <class F> void SettingsPanel::appliedWhenLeft(QLineEdit* box, F&& apply)
{
    // A value typed and left without Enter is applied too, so no box shows what the element
    // does not have. Untouched, leaving the box changes nothing.
    connect(box, &QLineEdit::editingFinished, this, [box, apply = std::forward<F>(apply)] {
        if (box->isModified())
            apply();
    });
}

void SettingsPanel::pickColor(ColorSwatch* swatch, const QString& text, int which)
{
    // The dialog knows plain colours only; a system colour starts it at what it looks like.
    m_dialog.Color = quint32(oleFromColor(colorFromOle(swatch->oleColor())));
    if (!m_dialog.ShowColor())
        return;
    const qint32 chosen = qint32(m_dialog.Color);
    swatch->setOleColor(chosen);
    edit(text, [&](auto& e) {
        using T = std::decay_t<decltype(e)>;
        if constexpr (isText<T>) {
            if (which == ForeColorRole)
                e.ForeColor = chosen;
            else if (which == BackColorRole)
                e.BackColor = chosen;
        } else if constexpr (std::is_same_v<T, Shape>) {
            if (which == BackColorRole)
                e.BackColor = chosen;
            else if (which == BorderColorRole)
                e.BorderColor = chosen;
        }
    });
}

bool SettingsPanel::browseImage()
{
    if (m_element.kind != ElementKind::Logo || !current())
        return false;
    m_dialog.Filter = QStringLiteral("All Files|*.*");
    m_dialog.InitDir = ProjectSettings::instance().LogoDir;
    m_dialog.FileName.clear();
    m_dialog.ShowOpen();
    const QString path = m_dialog.FileName;
    if (path.isEmpty())
        return false;
    const Result<QImage> picture = readPicture(resolveFileName(path));
    if (!picture) {
        m_dialogs.message(this, {QStringLiteral("The picture could not be loaded."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 picture.error()});
        return false;
    }
    edit(QStringLiteral("Logo Picture"), [&](auto& e) {
        if constexpr (std::is_same_v<std::decay_t<decltype(e)>, Logo>) {
            e.Picture = *picture;
            e.Tag = path;
        }
    });
    txtSpecialField->setText(path);
    return true;
}

void SettingsPanel::setTextRowsEnabled(bool enabled)
{
    for (QWidget* w : std::initializer_list<QWidget*>{cmbFontName, cmbFontSize, chkBold, chkItalic,
                                                      chkUnderline})
        w->setEnabled(enabled);
}

void SettingsPanel::setBackRowsEnabled(bool enabled)
{
    cmbBackStyle->setEnabled(enabled);
    lblBackColor->setEnabled(enabled);
}

void SettingsPanel::setBorderRowsVisible(bool visible)
{
    m_borderRow->setVisible(visible);
}

void SettingsPanel::lockAll()
{
    txtSpecialField->setReadOnly(true);
    cmdBrowseImage->hide();
    for (QLineEdit* box : {txtLeft, txtTop, txtHeight, txtWidth})
        box->setReadOnly(true);
    setTextRowsEnabled(false);
    setBackRowsEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{lblFontColor, cmbBorderWidth, lblBorderColor})
        w->setEnabled(false);
    cmbFontName->setCurrentIndex(-1);
    updown1->setEnabled(false);
    fitFormat->hide();
}

void SettingsPanel::unlockAll()
{
    txtSpecialField->setReadOnly(false);
    for (QLineEdit* box : {txtLeft, txtTop, txtHeight, txtWidth})
        box->setReadOnly(false);
    setTextRowsEnabled(true);
    setBackRowsEnabled(true);
    for (QWidget* w : std::initializer_list<QWidget*>{lblFontColor, cmbBorderWidth, lblBorderColor})
        w->setEnabled(true);
    updown1->setEnabled(true);
}

void SettingsPanel::showElement(BadgeSideId side, ElementRef element, bool focusCaption)
{
    m_side = side;
    m_element = element;
    m_typingKey = m_document.newMergeKey();
    fill(focusCaption);
    fitFormat->showElement(side, element);
}

void SettingsPanel::refresh()
{
    fill(false);
    fitFormat->refresh();
}

void SettingsPanel::fill(bool focusCaption)
{
    std::optional<Element> shown = current();
    // The template at index 0 is shown too: the window starts with the comment template.
    if (!shown && m_element.index == 0 && m_element.kind != ElementKind::Photo &&
        m_element.kind != ElementKind::Sign)
        shown = m_document.side(m_side).visit(m_element, [](const auto& e) {
            return Element(std::in_place_type<std::decay_t<decltype(e)>>, e);
        });
    if (!shown)
        return;
    const ElementGeometry& g =
        std::visit([](const auto& e) -> const ElementGeometry& { return e; }, *shown);
    txtLeft->setText(number(g.Left));
    txtTop->setText(number(g.Top));
    txtWidth->setText(number(g.Width));
    txtHeight->setText(number(g.Height));

    const ProjectSettings& settings = ProjectSettings::instance();
    const Comment* text = textOf(*shown);
    const auto* shape = std::get_if<Shape>(&*shown);
    if (text) {
        showText(cmbFontName, text->FontName);
        showText(cmbFontSize, QString::number(std::lround(text->FontSize)));
        chkBold->setChecked(text->FontBold);
        chkItalic->setChecked(text->FontItalic);
        chkUnderline->setChecked(text->FontUnderline);
        cmbBackStyle->setCurrentIndex(text->BackStyle == 1 ? 1 : 0);
        lblBackColor->setOleColor(text->BackColor);
        lblFontColor->setOleColor(text->ForeColor);
    } else if (shape) {
        cmbBackStyle->setCurrentIndex(shape->BackStyle == 1 ? 1 : 0);
        lblBackColor->setOleColor(shape->BackColor);
        showText(cmbBorderWidth, QString::number(shape->BorderWidth));
        lblBorderColor->setOleColor(shape->BorderColor);
    }
    setTextRowsEnabled(text != nullptr);
    setBackRowsEnabled(text != nullptr || shape != nullptr);
    setBorderRowsVisible(shape != nullptr);
    cmdBrowseImage->setVisible(m_element.kind == ElementKind::Logo);
    txtSpecialField->setReadOnly(m_element.kind != ElementKind::Comment);

    switch (m_element.kind) {
    case ElementKind::Comment:
        lblSpecialField->setText(QStringLiteral("Comment :"));
        txtSpecialField->setText(text->Caption);
        if (focusCaption)
            txtSpecialField->setFocus();
        break;
    case ElementKind::Field:
        lblSpecialField->setText(QStringLiteral("Field Name :"));
        txtSpecialField->setText(text->Caption);
        break;
    case ElementKind::Logo:
        lblSpecialField->setText(QStringLiteral("Logo Path :"));
        txtSpecialField->setText(std::get<Logo>(*shown).Tag);
        break;
    case ElementKind::Photo:
        lblSpecialField->setText(QStringLiteral("Field :"));
        txtSpecialField->setText(settings.PhotoField);
        break;
    case ElementKind::Sign:
        lblSpecialField->setText(QStringLiteral("Field :"));
        txtSpecialField->setText(settings.SignField);
        break;
    case ElementKind::Shape:
        lblSpecialField->setText(QStringLiteral("Field :"));
        txtSpecialField->clear();
        break;
    }
}

} // namespace vm
