#pragma once

#include <QImage>
#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>

namespace vm::test {

// What the PDF tests need of poppler-utils (pdftotext, pdftoppm, pdfimages).
inline bool havePdfText()
{
    for (const char* tool : {"pdftotext", "pdftoppm", "pdfimages"}) {
        if (QStandardPaths::findExecutable(QLatin1String(tool)).isEmpty())
            return false;
    }
    return true;
}

// Why the PDF tests cannot run here; empty when they can.
inline QString pdfToolsMissing()
{
    return havePdfText() ? QString()
                         : QStringLiteral("poppler-utils (pdftotext, pdftoppm, pdfimages) is "
                                          "not installed");
}

// Words of a PDF page with their boxes in points from the page's top-left, as poppler's
// pdftotext -bbox reports them; how tests check where printed text landed.
struct PdfWord {
    QString text;
    QRectF box;
};

struct PdfPage {
    QSizeF size; // points
    QList<PdfWord> words;

    const PdfWord* find(const QString& text) const
    {
        for (const PdfWord& word : words)
            if (word.text == text)
                return &word;
        return nullptr;
    }
    // Whether a word `text` starts at this place, given in twips from the page's top-left.
    bool hasWordAt(const QString& text, QPointF twips) const
    {
        for (const PdfWord& word : words)
            if (word.text == text && qAbs(word.box.left() - twips.x() / 20) < 0.5 &&
                qAbs(word.box.top() - twips.y() / 20) < 1)
                return true;
        return false;
    }
};

inline PdfPage pdfPage(const QString& pdf, int page)
{
    QProcess process;
    process.start(QStringLiteral("pdftotext"),
                  {QStringLiteral("-bbox"), QStringLiteral("-f"), QString::number(page),
                   QStringLiteral("-l"), QString::number(page), pdf, QStringLiteral("-")});
    process.waitForFinished(60000);
    const QString html = QString::fromUtf8(process.readAllStandardOutput());
    PdfPage result;
    static const QRegularExpression pageSize(
        QStringLiteral("<page width=\"([\\d.]+)\" height=\"([\\d.]+)\""));
    if (const auto m = pageSize.match(html); m.hasMatch())
        result.size = QSizeF(m.captured(1).toDouble(), m.captured(2).toDouble());
    static const QRegularExpression word(
        QStringLiteral("<word xMin=\"([\\d.]+)\" yMin=\"([\\d.]+)\" xMax=\"([\\d.]+)\" "
                       "yMax=\"([\\d.]+)\">([^<]*)</word>"));
    for (auto it = word.globalMatch(html); it.hasNext();) {
        const auto m = it.next();
        const QPointF topLeft(m.captured(1).toDouble(), m.captured(2).toDouble());
        const QPointF bottomRight(m.captured(3).toDouble(), m.captured(4).toDouble());
        QString text = m.captured(5);
        text.replace(QStringLiteral("&amp;"), QStringLiteral("&"))
            .replace(QStringLiteral("&lt;"), QStringLiteral("<"))
            .replace(QStringLiteral("&gt;"), QStringLiteral(">"))
            .replace(QStringLiteral("&apos;"), QStringLiteral("'"))
            .replace(QStringLiteral("&quot;"), QStringLiteral("\""));
        result.words << PdfWord{text, QRectF(topLeft, bottomRight)};
    }
    return result;
}

// A page as printed, at the given resolution, through poppler's pdftoppm.
inline QImage pdfPageImage(const QString& pdf, int page, int dpi)
{
    QProcess process;
    process.start(QStringLiteral("pdftoppm"),
                  {QStringLiteral("-png"), QStringLiteral("-r"), QString::number(dpi),
                   QStringLiteral("-f"), QString::number(page), QStringLiteral("-l"),
                   QString::number(page), QStringLiteral("-singlefile"), pdf});
    process.waitForFinished(60000);
    return QImage::fromData(process.readAllStandardOutput(), "PNG");
}

// One picture of a PDF as pdfimages -list reports it: its kind ("image" or its "smask"), pixel
// size, bits per component and encoding ("jpeg" for DCT, "image" for flate).
struct PdfImage {
    int page = 0;
    QString type;
    QSize size;
    int bitsPerComponent = 0;
    QString encoding;
};

inline QList<PdfImage> pdfImages(const QString& pdf)
{
    QProcess process;
    process.start(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    process.waitForFinished(60000);
    QList<PdfImage> images;
    const QStringList lines =
        QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\n'));
    for (const QString& line : lines.mid(2)) {
        const QStringList f = line.simplified().split(QLatin1Char(' '));
        if (f.size() < 9)
            continue;
        images << PdfImage{f[0].toInt(), f[2], QSize(f[3].toInt(), f[4].toInt()), f[7].toInt(),
                           f[8]};
    }
    return images;
}

} // namespace vm::test
