#pragma once

#include <QList>
#include <QString>

#include <optional>

namespace vm {

// Properties of elements that the badge file cannot hold. They live in the badge's companion
// file (BadgeCompanion.h), one small value per concern, held by the elements that have it.
// A new concern is a struct here (default values meaning "as the badge file has it"), a member
// of the elements that carry it (BadgeSide.h) and one line in propertiesOf() beside its JSON in
// BadgeCompanion.cpp; nothing else needs to know it.

// Clockwise turn of the element's content within its frame; the frame itself stays as stored.
struct Rotation {
    qint16 degrees = 0; // 0, 90, 180 or 270

    friend bool operator==(const Rotation&, const Rotation&) = default;
};

// Degrees as one of 0, 90, 180, 270; nullopt for any other value.
std::optional<qint16> rightAngle(int degrees);

enum class Symbology { Code128, Code39, Ean13, Interleaved2of5, QrCode, DataMatrix, Pdf417, Aztec };

struct SymbologyInfo {
    Symbology id;
    QString key;  // in the companion file
    QString name; // for the operator
    bool twoDimensional;
    int maxErrorCorrection; // highest level the operator can choose; 0: none to choose
};
const QList<SymbologyInfo>& symbologies();
const SymbologyInfo& symbologyInfo(Symbology id);
std::optional<Symbology> symbologyForKey(const QString& key);

// A field drawn as a barcode of its value: the caption is the value, a field reference
// "<Table.Column>", a fixed text, or a text with references ("<Employee.EmpNo>-<Employee.DeptID>").
// The bars take the field's ForeColor, the space between them its BackColor (white when the field
// is transparent, since a scanner needs a light ground).
struct Barcode {
    Symbology symbology = Symbology::Code128;
    bool humanReadable = true; // the value in text under a linear code
    bool quietZone = true;     // the blank margin a scanner needs around the code
    qint16 errorCorrection = 0; // 2D codes: 0 the symbology's default, else 1..maxErrorCorrection
    float moduleTwips = 0;      // one narrow bar or cell; 0 fits the code to the frame

    friend bool operator==(const Barcode&, const Barcode&) = default;
};

// A module of 0.01 inch (0.254 mm): the smallest that scanners of badges read reliably and the
// smallest the designer offers.
inline constexpr float SmallestModuleTwips = 14.4f;

} // namespace vm
