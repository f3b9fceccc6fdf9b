#include "render/BarcodeReading.h"

#define ZX_USE_UTF8 1
#include <ZXing/ReadBarcode.h>

namespace vm {
namespace {

struct FormatOf {
    ZXing::BarcodeFormat format;
    Symbology symbology;
};
constexpr FormatOf Formats[] = {
    {ZXing::BarcodeFormat::Code128, Symbology::Code128},
    {ZXing::BarcodeFormat::Code39, Symbology::Code39},
    {ZXing::BarcodeFormat::EAN13, Symbology::Ean13},
    {ZXing::BarcodeFormat::ITF, Symbology::Interleaved2of5},
    {ZXing::BarcodeFormat::QRCode, Symbology::QrCode},
    {ZXing::BarcodeFormat::DataMatrix, Symbology::DataMatrix},
    {ZXing::BarcodeFormat::PDF417, Symbology::Pdf417},
    {ZXing::BarcodeFormat::Aztec, Symbology::Aztec},
};

} // namespace

QList<ReadCode> readBarcodes(const QImage& image)
{
    const QImage grey = image.convertToFormat(QImage::Format_Grayscale8);
    ZXing::BarcodeFormats formats;
    for (const FormatOf& f : Formats)
        formats |= f.format;
    ZXing::DecodeHints hints;
    hints.setFormats(formats);
    hints.setTryHarder(true);
    hints.setTryRotate(true);
    // Asked for more, zxing-cpp 1.4 compares the linear codes it found and trips over its own
    // assertion (Result::operator==, "lineCount() == 1"); a badge is checked one code at a time.
    hints.setMaxNumberOfSymbols(1);
    const ZXing::ImageView view(grey.constBits(), grey.width(), grey.height(),
                                ZXing::ImageFormat::Lum, int(grey.bytesPerLine()));
    QList<ReadCode> found;
    for (const ZXing::Result& result : ZXing::ReadBarcodes(view, hints)) {
        if (!result.isValid())
            continue;
        for (const FormatOf& f : Formats) {
            if (f.format == result.format())
                found << ReadCode{f.symbology, QString::fromStdString(result.text())};
        }
    }
    return found;
}

bool readsAs(const ReadCode& read, Symbology symbology, const QString& value)
{
    if (read.symbology != symbology)
        return false;
    if (symbology == Symbology::Ean13 && value.size() == 12)
        return read.text.size() == 13 && read.text.startsWith(value);
    return read.text == value;
}

} // namespace vm
