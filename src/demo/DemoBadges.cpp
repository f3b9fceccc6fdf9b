#include "demo/DemoBadges.h"

#include "badge/BadgeFile.h"
#include "common/FileNames.h"

namespace vm {
namespace {

constexpr qint32 bgr(int r, int g, int b)
{
    return qint32(r | g << 8 | b << 16);
}

const qint32 Navy = bgr(0, 92, 150);
const qint32 White = bgr(255, 255, 255);
const qint32 Ink = bgr(30, 30, 40);
const qint32 Amber = bgr(240, 150, 20);
const qint32 Gold = bgr(250, 190, 40);

void setText(Comment& c, const QString& caption, float left, float top, float size, qint32 color,
             bool bold)
{
    c.Caption = caption;
    c.Left = left;
    c.Top = top;
    c.FontName = QStringLiteral("DejaVu Sans");
    c.FontSize = size;
    c.ForeColor = color;
    c.FontBold = bold;
    c.Visible = true;
}

void comment(BadgeSide& side, const QString& caption, float left, float top, float size,
             qint32 color = Ink, bool bold = false)
{
    setText(side.Label1.at(side.addComment()), caption, left, top, size, color, bold);
}

void field(BadgeSide& side, const QString& reference, float left, float top, float size,
           qint32 color = Ink, bool bold = false)
{
    Field& f = side.lblField.at(side.addField());
    setText(f, reference, left, top, size, color, bold);
    f.Tag = reference.mid(1, reference.size() - 2);
}

// A code of the person's key, filling its frame; the key is printed as text elsewhere.
void barcode(BadgeSide& side, Symbology symbology, QRectF frame, qint16 degrees)
{
    Field& f = side.lblField.at(side.addField());
    f.Caption = QStringLiteral("<Employee.EmpNo>");
    f.Tag = QStringLiteral("Employee.EmpNo");
    f.Left = float(frame.left());
    f.Top = float(frame.top());
    f.Width = float(frame.width());
    f.Height = float(frame.height());
    f.Visible = true;
    f.AutoSize = false;
    f.FontName = QStringLiteral("DejaVu Sans");
    f.barcode = Barcode{symbology, false, true, 0, 0};
    f.rotation.degrees = degrees;
}

void place(ElementGeometry& element, QRectF frame)
{
    element.Left = float(frame.left());
    element.Top = float(frame.top());
    element.Width = float(frame.width());
    element.Height = float(frame.height());
    element.Visible = true;
}

void shape(BadgeSide& side, qint16 type, QRectF frame, qint16 borderWidth, qint32 borderColor,
           qint16 backStyle, qint32 backColor)
{
    Shape& s = side.myShape1.at(side.addShape());
    place(s, frame);
    s.ShpType = type;
    s.BorderWidth = borderWidth;
    s.BorderColor = borderColor;
    s.BackStyle = backStyle;
    s.BackColor = backColor;
}

void logo(BadgeSide& side, const QString& path, QRectF frame)
{
    Logo& l = side.Image1.at(side.addLogo());
    place(l, frame);
    l.Tag = path;
}

BadgeLayout newBadge(const StoredSettings& project, const QString& name, qint16 orientation)
{
    BadgeLayout badge;
    badge.badgeName = name;
    badge.projectName = project.ProjectName;
    badge.databasePath = project.DatabasePath;
    badge.orientation = orientation;
    return badge;
}

// Bands are filled shapes; the logo and texts on them stay visible because shapes are drawn
// below every other element.
BadgeLayout staffBadge(const StoredSettings& project)
{
    BadgeLayout badge = newBadge(project, QStringLiteral("Staff"), 1);
    const QString emblem = fileInFolder(project.LogoDir, QStringLiteral("logo.png"));

    BadgeSide& front = badge.front;
    shape(front, 0, {0, 0, 4876, 700}, 0, Navy, 1, Navy);
    shape(front, 0, {0, 700, 4876, 60}, 0, Gold, 1, Gold);
    logo(front, emblem, {150, 90, 520, 520});
    comment(front, QStringLiteral("MERIDIAN WORKS"), 800, 110, 15, White, true);
    comment(front, QStringLiteral("Staff identity card"), 810, 420, 8, White);
    shape(front, 2, {4380, 200, 300, 300}, 2, White, 1, bgr(60, 180, 90));
    shape(front, 4, {200, 800, 1580, 2060}, 1, Navy, 1, bgr(232, 238, 244));
    place(front.imgPhoto, {240, 830, 1500, 2000});
    field(front, QStringLiteral("<Employee.FirstName>"), 1980, 860, 15, Navy, true);
    field(front, QStringLiteral("<Employee.LastName>"), 1980, 1200, 15, Navy, true);
    field(front, QStringLiteral("<Employee.Title>"), 1980, 1620, 10);
    field(front, QStringLiteral("<Department.DeptName>"), 1980, 1900, 10);
    comment(front, QStringLiteral("No."), 1980, 2200, 8);
    field(front, QStringLiteral("<Employee.EmpNo>"), 2400, 2200, 8, Ink, true);
    place(front.imgSign, {1980, 2480, 1800, 450});
    // Up the right edge, read from the bottom.
    barcode(front, Symbology::Code128, {4300, 860, 480, 2080}, 270);
    shape(front, 0, {0, 3030, 4876, 60}, 0, Navy, 1, Navy);

    BadgeSide& back = badge.back;
    comment(back, QStringLiteral("This card remains the property of Meridian Works."), 240, 260, 9);
    comment(back, QStringLiteral("If found, please return it to:"), 240, 640, 9);
    field(back, QStringLiteral("<Department.DeptName>"), 240, 960, 10, Navy, true);
    field(back, QStringLiteral("<Department.Site>"), 240, 1240, 10);
    field(back, QStringLiteral("<Department.Phone>"), 240, 1520, 10);
    comment(back, QStringLiteral("Valid until"), 240, 1960, 9);
    field(back, QStringLiteral("<Employee.ValidUntil>"), 1500, 1960, 9, Ink, true);
    field(back, QStringLiteral("<Employee.Email>"), 240, 2240, 8);
    barcode(back, Symbology::QrCode, {3700, 900, 1000, 1000}, 0);
    shape(back, 0, {0, 2560, 4876, 530}, 0, Navy, 1, Navy);
    shape(back, 0, {0, 2500, 4876, 60}, 0, Gold, 1, Gold);
    logo(back, emblem, {220, 2640, 380, 380});
    comment(back, QStringLiteral("MERIDIAN WORKS"), 700, 2650, 9, White, true);
    comment(back, QStringLiteral("1 Harbour Road, Riverton"), 700, 2860, 7, White);
    return badge;
}

BadgeLayout visitorBadge(const StoredSettings& project)
{
    BadgeLayout badge = newBadge(project, QStringLiteral("Visitor"), 2);

    BadgeSide& front = badge.front;
    shape(front, 0, {0, 0, 3090, 980}, 0, Amber, 1, Amber);
    logo(front, fileInFolder(project.LogoDir, QStringLiteral("logo.png")), {200, 190, 600, 600});
    comment(front, QStringLiteral("VISITOR"), 930, 250, 20, White, true);
    comment(front, QStringLiteral("Meridian Works"), 945, 660, 9, White);
    shape(front, 4, {495, 1130, 2100, 2640}, 2, Amber, 1, bgr(253, 243, 226));
    place(front.imgPhoto, {645, 1250, 1800, 2400});
    field(front, QStringLiteral("<Employee.FirstName>"), 300, 3900, 14, Ink, true);
    field(front, QStringLiteral("<Employee.LastName>"), 300, 4200, 14, Ink, true);
    field(front, QStringLiteral("<Department.DeptName>"), 300, 4520, 9);
    shape(front, 0, {0, 4756, 3090, 120}, 0, Amber, 1, Amber);
    return badge;
}

} // namespace

QStringList writeDemoBadges(const StoredSettings& project, QString* error)
{
    QStringList names;
    BadgeLayout staff = staffBadge(project);
    BadgeLayout visitor = visitorBadge(project);
    // Shapes below everything else, as a badge without a companion file stacks.
    for (BadgeLayout* badge : {&staff, &visitor}) {
        badge->front.setStackingOrder({});
        badge->back.setStackingOrder({});
    }
    for (const auto& [badge, blankBack] : {std::pair{&staff, false}, std::pair{&visitor, true}}) {
        const Status written = writeBadgeFile(
            fileInFolder(project.BadgeDir, badge->badgeName + QStringLiteral(".Lyt")), *badge,
            blankBack);
        if (!written) {
            *error = written.error();
            return {};
        }
        names << badge->badgeName;
    }
    return names;
}

} // namespace vm
