#pragma once

// Building blocks for test badges, and one badge that uses every element kind on both sides.

#include "badge/BadgeSide.h"

namespace vm::test {

template <class T> T& place(T& element, QRectF frame)
{
    element.Left = float(frame.left());
    element.Top = float(frame.top());
    element.Width = float(frame.width());
    element.Height = float(frame.height());
    element.Visible = true;
    return element;
}

inline Comment& addComment(BadgeSide& side, QPointF at, const QString& caption)
{
    Comment& comment = place(side.Label1.at(side.Label1.add()), QRectF(at, QSizeF(1440, 285)));
    comment.Caption = caption;
    return comment;
}

inline Field& addField(BadgeSide& side, QPointF at, const QString& tableAndColumn)
{
    Field& field = place(side.lblField.at(side.lblField.add()), QRectF(at, QSizeF(1440, 285)));
    field.Caption = QLatin1Char('<') + tableAndColumn + QLatin1Char('>');
    field.Tag = tableAndColumn;
    return field;
}

inline Logo& addLogo(BadgeSide& side, const QString& path, QRectF frame)
{
    Logo& logo = place(side.Image1.at(side.Image1.add()), frame);
    logo.Tag = path;
    return logo;
}

inline Shape& addShape(BadgeSide& side, qint16 type, QRectF frame, qint16 borderWidth,
                       qint32 borderColor, qint16 backStyle, qint32 backColor)
{
    Shape& shape = place(side.myShape1.at(side.myShape1.add()), frame);
    shape.ShpType = type;
    shape.BorderWidth = borderWidth;
    shape.BorderColor = borderColor;
    shape.BackStyle = backStyle;
    shape.BackColor = backColor;
    return shape;
}

// The captions of a side's fields in index order: references, or a record's values.
inline QStringList fieldCaptions(const BadgeSide& side)
{
    QStringList texts;
    for (const auto& [index, field] : side.lblField)
        texts << field.Caption;
    return texts;
}

inline BadgeLayout allKindsBadge(const QString& logoPath)
{
    BadgeLayout badge;
    badge.projectName = QStringLiteral("Staff");
    badge.databasePath = QStringLiteral("/srv/cards/staff.sqlite");

    BadgeSide& front = badge.front;
    Comment& title = addComment(front, {1400, 150}, QStringLiteral("ACME Corp: Staff, 2024"));
    title.FontBold = true;
    title.ForeColor = 0x803000;
    Comment& visitor = addComment(front, {1500, 1450}, QStringLiteral("Visitor"));
    visitor.FontSize = 8.25f;
    visitor.FontItalic = visitor.FontUnderline = true;
    visitor.ForeColor = 0x0000ff;
    visitor.BackStyle = 1;
    visitor.BackColor = qint32(0x8000000F);
    addField(front, {1500, 700}, QStringLiteral("Employee.FirstName"));
    Field& dept = addField(front, {1500, 1000}, QStringLiteral("Dept.Name"));
    dept.FontBold = dept.FontItalic = true;
    dept.BackStyle = 1;
    dept.BackColor = 0x00ffff;
    addLogo(front, logoPath, QRectF(4150, 150, 600, 360));
    addShape(front, 4, QRectF(1440, 1900, 3200, 1000), 2, 0x808000, 0, 0xffffff);
    addShape(front, 2, QRectF(3900, 1000, 700, 700), 1, 0x000000, 1, 0x00c0ff);
    front.imgPhoto.Visible = front.imgSign.Visible = true;

    BadgeSide& back = badge.back;
    addComment(back, {300, 300}, QStringLiteral("If found: return to ACME, Main St. 1"));
    addComment(back, {300, 2600}, QStringLiteral("Valid until: 31.12.2025")).FontSize = 7.5f;
    addField(back, {300, 700}, QStringLiteral("Employee.EmpNo"));
    addLogo(back, logoPath, QRectF(3900, 2300, 800, 600));
    addShape(back, 0, QRectF(200, 1200, 4400, 900), 3, 0x000080, 0, 0xffffff);
    addShape(back, 2, QRectF(300, 1300, 1200, 700), 1, 0x008000, 1, 0xc0ffc0);
    addShape(back, 4, QRectF(1700, 1300, 1200, 700), 2, 0x800080, 1, 0xffc0ff);
    back.imgPhoto.Left = 3400; // hidden, but its frame still travels with the file
    place(back.imgSign, QRectF(3100, 1400, 1215, 375));
    return badge;
}

} // namespace vm::test
