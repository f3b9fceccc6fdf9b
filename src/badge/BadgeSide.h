#pragma once

#include "badge/ElementArray.h"
#include "badge/ElementProperties.h"
#include "badge/TextFit.h"

#include <QImage>
#include <QList>
#include <QRectF>
#include <QString>

#include <algorithm>
#include <optional>
#include <type_traits>
#include <variant>

namespace vm {

// Twips from the top-left corner of the side's canvas, as the badge file stores them.
struct ElementGeometry {
    float Left = 0;
    float Top = 0;
    float Width = 0;
    float Height = 0;
    bool Visible = false;

    QRectF frame() const { return QRectF(Left, Top, Width, Height); }

    friend bool operator==(const ElementGeometry&, const ElementGeometry&) = default;
};

// No real badge places anything 20 inches (six card lengths) away or writes in letters larger
// than the card: a file or a typed value beyond these is held within them, so that no drawing,
// dirty area or picture size computed from it can overflow.
inline constexpr float LargestTwips = 28800;
inline constexpr float LargestFontSize = 1000; // points

// Within ±LargestTwips; what is not a number is 0.
inline float clampedTwips(float twips)
{
    return twips >= -LargestTwips ? std::min(twips, LargestTwips) : (twips < 0 ? -LargestTwips : 0);
}

inline void clampGeometry(ElementGeometry& element)
{
    for (float* value : {&element.Left, &element.Top, &element.Width, &element.Height})
        *value = clampedTwips(*value);
}

// A static text.
struct Comment : ElementGeometry {
    QString Caption;
    QString FontName;
    float FontSize = 10; // points
    qint32 ForeColor = 0;
    bool FontBold = false;
    bool FontItalic = false;
    bool FontUnderline = false;
    qint16 BackStyle = 0; // 0 transparent, 1 opaque
    qint32 BackColor = 0;
    qint16 BorderStyle = 0; // 0 none, otherwise a thin outline
    bool AutoSize = true;   // the drawn size follows the text, not Width and Height
    // Properties the badge file cannot hold, kept in its companion (ElementProperties.h).
    Rotation rotation;
    TextFit fit; // any mode but AsDesigned keeps the frame and fits the text in it

    // The drawn size follows the text, not Width and Height.
    bool sizesItself() const { return AutoSize && !fit.fitsFrame(); }

    friend bool operator==(const Comment&, const Comment&) = default;
};

// A text that shows one column of the current record. Caption holds the field reference
// "<Table.Column>" until a record fills in its value.
struct Field : Comment {
    QString Tag; // the key a record is looked up by; which form depends on the reader's rule
    // Drawn as this barcode of its value instead of as text; see ElementProperties.h.
    std::optional<Barcode> barcode;
    FieldFormat format; // how the value shows, and when the field is hidden (TextFit.h)

    friend bool operator==(const Field&, const Field&) = default;
};

// A static picture. Picture is loaded from Tag separately from the badge file.
struct Logo : ElementGeometry {
    QString Tag; // full path of the picture file
    QImage Picture;
    Rotation rotation;

    friend bool operator==(const Logo&, const Logo&) = default;
};

struct Shape : ElementGeometry {
    qint16 ShpType = 0;     // 0 rectangle, 2 oval, 4 rounded rectangle
    qint16 BorderWidth = 1; // pixels
    qint32 BorderColor = 0;
    qint16 BackStyle = 0; // 0 transparent, 1 opaque
    qint32 BackColor = 0;

    friend bool operator==(const Shape&, const Shape&) = default;
};

// The photograph and signature frames. Picture is drawn when set; otherwise a placeholder shows
// where it will go while ShowPlaceholder is on (a freshly loaded side, before the first record),
// and after a record without pictures the frame stays empty.
struct PictureFrame : ElementGeometry {
    QImage Picture;
    bool ShowPlaceholder = true;

    friend bool operator==(const PictureFrame&, const PictureFrame&) = default;
};

enum class ElementKind { Comment, Field, Logo, Shape, Photo, Sign };

// Names one element of a side; the photograph and signature frames use index 0.
struct ElementRef {
    ElementKind kind = ElementKind::Comment;
    int index = 0;

    friend bool operator==(const ElementRef&, const ElementRef&) = default;
};

// One element of any kind with its values, as copied, pasted and kept by undo.
using Element = std::variant<Comment, Field, Logo, Shape, PictureFrame>;

// The element as every edit keeps it: within LargestTwips and LargestFontSize, its position and
// size in whole twips (a pointer, a grid or a typed value can only mean whole ones).
Element clamped(Element value);

// Why the values cannot be given to an element, in the operator's words: a width or height
// below zero or a font size of zero or less draws nothing, and the element would vanish.
// Empty when they can.
QString refusedValues(const Element& value);

// The "Table.Column" a field's caption "<Table.Column>" refers to; empty for any other caption.
QString referencedColumn(const QString& caption);

// The array kind a value belongs to; none for a picture frame, which is no array element.
std::optional<ElementKind> arrayKindOf(const Element& value);

// One side of a badge: four element arrays, each with its template at index 0, the photograph
// and signature frames, and the stacking order, which lives only while the program runs.
struct BadgeSide {
    BadgeSide();

    ElementArray<Comment> Label1;
    ElementArray<Field> lblField;
    ElementArray<Logo> Image1;
    ElementArray<Shape> myShape1;
    PictureFrame imgPhoto;
    PictureFrame imgSign;

    // New elements from the templates, placed on top of the stacking order. Add and remove
    // through the side rather than the arrays while the stacking order matters.
    int addComment() { return onTop(ElementKind::Comment, Label1.add()); }
    int addField() { return onTop(ElementKind::Field, lblField.add()); }
    int addLogo() { return onTop(ElementKind::Logo, Image1.add()); }
    int addShape() { return onTop(ElementKind::Shape, myShape1.add()); }

    // A new element of an array from the given values, at the highest index plus one, on top of
    // the stacking order. An invalid reference (index 0) for a picture frame.
    ElementRef add(const Element& value);
    // Puts an element of an array back at its own index and at a place in the stacking order
    // (0 is the bottom; clamped), as undoing its deletion does. False when the index is taken,
    // is 0, or the value is of another kind.
    bool insert(ElementRef element, const Element& value, int stackPosition);

    // Deletes an element of one of the arrays; the photograph and signature cannot be deleted.
    bool remove(ElementRef element);
    // Present elements and the two frames; templates are not elements of the side.
    bool contains(ElementRef element) const;
    const ElementGeometry* geometry(ElementRef element) const;
    ElementGeometry* geometry(ElementRef element);

    // Calls f with the element itself: a Comment, Field, Logo, Shape or PictureFrame. Index 0 of
    // an array is its template. The element must exist.
    template <class F> auto visit(ElementRef element, F&& f)
    {
        return visitIn(*this, element, std::forward<F>(f));
    }
    template <class F> auto visit(ElementRef element, F&& f) const
    {
        return visitIn(*this, element, std::forward<F>(f));
    }

    // A copy of the element's values; none when it is absent.
    std::optional<Element> element(ElementRef element) const;
    // Replaces the element's values; false when it is absent or the value is of another kind.
    bool setElement(ElementRef element, const Element& value);

    // Bottom to top, every element present once. Elements never moved keep the order of a
    // freshly loaded side: shapes, photograph, signature, logos, comments, fields, each kind
    // by index. The badge file does not hold the order; its companion does (BadgeCompanion.h).
    QList<ElementRef> stackingOrder() const;
    // Place in the stacking order, 0 at the bottom; -1 for an element that is not present.
    int stackPosition(ElementRef element) const;
    // Moves the element to a place in the stacking order (clamped).
    void moveInStack(ElementRef element, int position);
    // The order of a freshly loaded side, which a badge without a companion file has.
    bool hasLoadOrder() const;
    // Bottom to top as given; what is absent is skipped, elements not named go on top in the
    // order of a freshly loaded side.
    void setStackingOrder(const QList<ElementRef>& order);
    void bringToFront(ElementRef element);
    void sendToBack(ElementRef element);

    // Empties the arrays (logos, comments, fields, shapes, each from its highest index down),
    // leaving the templates and the two frames.
    void UnloadBadgeElements();

    // Same elements with the same values in the same stacking order.
    friend bool operator==(const BadgeSide& a, const BadgeSide& b);

private:
    template <class Side, class F> static auto visitIn(Side& side, ElementRef element, F&& f)
    {
        switch (element.kind) {
        case ElementKind::Comment:
            return f(side.Label1.at(element.index));
        case ElementKind::Field:
            return f(side.lblField.at(element.index));
        case ElementKind::Logo:
            return f(side.Image1.at(element.index));
        case ElementKind::Shape:
            return f(side.myShape1.at(element.index));
        case ElementKind::Photo:
            return f(side.imgPhoto);
        case ElementKind::Sign:
            break;
        }
        return f(side.imgSign);
    }

    int onTop(ElementKind kind, int index);
    QList<ElementRef> orderFrom(const QList<ElementRef>& explicitOrder) const;
    void fixStackingOrder();

    QList<ElementRef> m_order; // explicit order; elements missing from it stack above it
};

struct BadgeLayout {
    QString badgeName;
    QString projectName;
    QString databasePath;
    qint16 orientation = 1; // 1 landscape, 2 portrait
    BadgeSide front;
    BadgeSide back;
};

} // namespace vm
