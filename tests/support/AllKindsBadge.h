#pragma once

// A badge that uses every element kind on both sides, shared by the file and renderer tests.

#include "badge/BadgeSide.h"

namespace vm::test {

inline Comment textAt(Comment text, float left, float top, const QString& caption)
{
    text.Left = left;
    text.Top = top;
    text.Caption = caption;
    text.Visible = true;
    return text;
}

inline void addComment(BadgeSide& side, Comment comment)
{
    side.Label1.at(side.Label1.add()) = std::move(comment);
}

inline void addField(BadgeSide& side, Comment text, const QString& tag)
{
    Field& field = side.lblField.at(side.lblField.add());
    static_cast<Comment&>(field) = std::move(text);
    field.Tag = tag;
}

inline void addLogo(BadgeSide& side, const QString& path, QRectF frame)
{
    Logo& logo = side.Image1.at(side.Image1.add());
    logo.Tag = path;
    logo.Left = float(frame.left());
    logo.Top = float(frame.top());
    logo.Width = float(frame.width());
    logo.Height = float(frame.height());
    logo.Visible = true;
}

inline void addShape(BadgeSide& side, qint16 type, QRectF frame, qint16 borderWidth,
                     qint32 borderColor, qint16 backStyle, qint32 backColor)
{
    Shape& shape = side.myShape1.at(side.myShape1.add());
    shape.ShpType = type;
    shape.Left = float(frame.left());
    shape.Top = float(frame.top());
    shape.Width = float(frame.width());
    shape.Height = float(frame.height());
    shape.BorderWidth = borderWidth;
    shape.BorderColor = borderColor;
    shape.BackStyle = backStyle;
    shape.BackColor = backColor;
    shape.Visible = true;
}

inline BadgeLayout allKindsBadge(const QString& logoPath)
{
    BadgeLayout badge;
    badge.badgeName = QStringLiteral("AllKinds");
    badge.projectName = QStringLiteral("Staff");
    badge.databasePath = QStringLiteral("/srv/cards/staff.sqlite");
    badge.orientation = 1;

    BadgeSide& front = badge.front;
    const Comment plain = front.Label1.templateElement();
    Comment title = textAt(plain, 1400, 150, QStringLiteral("ACME Corp: Staff, 2024"));
    title.FontSize = 10;
    title.FontBold = true;
    title.ForeColor = 0x803000;
    addComment(front, title);
    Comment visitor = textAt(plain, 1500, 1450, QStringLiteral("Visitor"));
    visitor.FontSize = 8.25f;
    visitor.FontItalic = true;
    visitor.FontUnderline = true;
    visitor.ForeColor = 0x0000ff;
    visitor.BackStyle = 1;
    visitor.BackColor = qint32(0x8000000F);
    addComment(front, visitor);
    addField(front, textAt(plain, 1500, 700, QStringLiteral("<Employee.FirstName>")),
             QStringLiteral("Employee.FirstName"));
    Comment dept = textAt(plain, 1500, 1000, QStringLiteral("<Dept.Name>"));
    dept.FontBold = dept.FontItalic = true;
    dept.BackStyle = 1;
    dept.BackColor = 0x00ffff;
    addField(front, dept, QStringLiteral("Dept.Name"));
    addLogo(front, logoPath, QRectF(4150, 150, 600, 360));
    addShape(front, 4, QRectF(1440, 1900, 3200, 1000), 2, 0x808000, 0, 0xffffff);
    addShape(front, 2, QRectF(3900, 1000, 700, 700), 1, 0x000000, 1, 0x00c0ff);
    front.imgPhoto.Visible = true;
    front.imgSign.Visible = true;

    BadgeSide& back = badge.back;
    addComment(back,
               textAt(plain, 300, 300, QStringLiteral("If found: return to ACME, Main St. 1")));
    Comment small = textAt(plain, 300, 2600, QStringLiteral("Valid until: 31.12.2025"));
    small.FontSize = 7.5f;
    addComment(back, small);
    addField(back, textAt(plain, 300, 700, QStringLiteral("<Employee.EmpNo>")),
             QStringLiteral("Employee.EmpNo"));
    addLogo(back, logoPath, QRectF(3900, 2300, 800, 600));
    addShape(back, 0, QRectF(200, 1200, 4400, 900), 3, 0x000080, 0, 0xffffff);
    addShape(back, 2, QRectF(300, 1300, 1200, 700), 1, 0x008000, 1, 0xc0ffc0);
    addShape(back, 4, QRectF(1700, 1300, 1200, 700), 2, 0x800080, 1, 0xffc0ff);
    back.imgPhoto.Left = 3400; // hidden, but its frame still travels with the file
    back.imgSign.Visible = true;
    back.imgSign.Left = 3100;
    back.imgSign.Top = 1400;
    return badge;
}

} // namespace vm::test
