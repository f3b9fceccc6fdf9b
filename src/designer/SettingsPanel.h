#pragma once

#include "badge/BadgeDocument.h"

#include <QGroupBox>
#include <QLabel>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QToolButton;

namespace vm {

class CommonDialog;
class Dialogs;
class FitFormatRows;

// A label that shows a colour as its background and asks for another when clicked.
class ColorSwatch : public QLabel {
    Q_OBJECT
public:
    ColorSwatch(const QString& caption, QWidget* parent = nullptr);

    void setOleColor(qint32 ole);
    qint32 oleColor() const { return m_ole; }

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void paintSwatch();
    qint32 m_ole = 0;
};

// The spin button of the stacking order: up brings the element to the front, down sends it to
// the back.
class StackButtons : public QWidget {
    Q_OBJECT
public:
    explicit StackButtons(QWidget* parent = nullptr);
    QToolButton* upButton() const { return m_up; }
    QToolButton* downButton() const { return m_down; }

Q_SIGNALS:
    void up();
    void down();

private:
    QToolButton* m_up;
    QToolButton* m_down;
};

// "frameSettings": the selected element's geometry, font, colours and its own datum, each row
// editing the element in the document as one undo step. The window decides what is selected.
class SettingsPanel : public QGroupBox {
    Q_OBJECT
public:
    SettingsPanel(BadgeDocument& document, CommonDialog& dialog, Dialogs& dialogs,
                  QWidget* parent = nullptr);
    ~SettingsPanel() override;

    // Disables every row (nothing selected); UnLock_All enables them again.
    void lockAll();
    void unlockAll();
    // Shows the element's values and edits it from now on; a comment's caption gets the focus
    // unless focusCaption is false.
    void showElement(BadgeSideId side, ElementRef element, bool focusCaption = true);
    // The values again, after the element changed elsewhere (a drag, undo); the focus stays.
    void refresh();
    BadgeSideId side() const { return m_side; }
    ElementRef element() const { return m_element; }

    // Asks for the logo's picture file; false when cancelled or unreadable.
    bool browseImage();

    QLineEdit* txtLeft;
    QLineEdit* txtTop;
    QLineEdit* txtWidth;
    QLineEdit* txtHeight;
    QComboBox* cmbFontName;
    QComboBox* cmbFontSize;
    QCheckBox* chkBold;
    QCheckBox* chkItalic;
    QCheckBox* chkUnderline;
    QComboBox* cmbBackStyle;
    ColorSwatch* lblFontColor;
    ColorSwatch* lblBackColor;
    ColorSwatch* lblBorderColor;
    QComboBox* cmbBorderWidth;
    QLabel* lblSpecialField;
    QLineEdit* txtSpecialField;
    QPushButton* cmdBrowseImage;
    StackButtons* updown1;
    FitFormatRows* fitFormat; // fitting, and a field's format and condition

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    // An edit whose row asks for the element to be selected again.
    void reselect();
    // The operator changed the stacking order.
    void stackingChanged();

private:
    void build();
    void connectRows();
    void applyFontName(const QString& name);
    void applyFontSize(const QString& text);
    void fill(bool focusCaption);
    void setTextRowsEnabled(bool enabled);
    void setBackRowsEnabled(bool enabled);
    void setBorderRowsVisible(bool visible);
    std::optional<Element> current() const;
    // Applies change to a copy of the element and hands it to the document.
    // Values that would make the element vanish are refused with a message.
    template <class F> bool edit(const QString& text, F&& change, quint64 mergeKey = 0);
    template <class F> void appliedWhenLeft(QLineEdit* box, F&& apply);
    void pickColor(ColorSwatch* swatch, const QString& text, int which);

    BadgeDocument& m_document;
    CommonDialog& m_dialog;
    Dialogs& m_dialogs;
    BadgeSideId m_side = BadgeSideId::Front;
    ElementRef m_element;
    quint64 m_typingKey = 0;
    QWidget* m_borderRow = nullptr;
};

// Fits a text's Width and Height to its caption in its font, in whole twips, as automatic
// sizing does; a text without it keeps its frame.
void fitToText(Comment& text);

} // namespace vm
