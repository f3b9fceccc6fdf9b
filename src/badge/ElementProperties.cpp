#include "badge/ElementProperties.h"

namespace vm {

std::optional<qint16> rightAngle(int degrees)
{
    if (degrees == 0 || degrees == 90 || degrees == 180 || degrees == 270)
        return qint16(degrees);
    return std::nullopt;
}

const QList<SymbologyInfo>& symbologies()
{
    // Error correction: QR L, M, Q, H; PDF417 levels 0 to 8 (chosen as 1 to 9, 0 being the
    // default); Aztec
    // 10, 23, 36, 50 %; Data Matrix ECC 200 has one fixed level.
    static const QList<SymbologyInfo> list{
        {Symbology::Code128, QStringLiteral("code128"), QStringLiteral("Code 128"), false, 0},
        {Symbology::Code39, QStringLiteral("code39"), QStringLiteral("Code 39"), false, 0},
        {Symbology::Ean13, QStringLiteral("ean13"), QStringLiteral("EAN-13"), false, 0},
        {Symbology::Interleaved2of5, QStringLiteral("itf"), QStringLiteral("Interleaved 2 of 5"),
         false, 0},
        {Symbology::QrCode, QStringLiteral("qr"), QStringLiteral("QR Code"), true, 4},
        {Symbology::DataMatrix, QStringLiteral("datamatrix"), QStringLiteral("Data Matrix"), true,
         0},
        {Symbology::Pdf417, QStringLiteral("pdf417"), QStringLiteral("PDF417"), true, 9},
        {Symbology::Aztec, QStringLiteral("aztec"), QStringLiteral("Aztec"), true, 4},
    };
    return list;
}

const SymbologyInfo& symbologyInfo(Symbology id)
{
    for (const SymbologyInfo& info : symbologies()) {
        if (info.id == id)
            return info;
    }
    return symbologies().front();
}

std::optional<Symbology> symbologyForKey(const QString& key)
{
    for (const SymbologyInfo& info : symbologies()) {
        if (info.key == key)
            return info.id;
    }
    return std::nullopt;
}

} // namespace vm
