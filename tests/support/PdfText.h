#pragma once

#include <QList>
#include <QProcess>
#include <QRectF>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>

namespace vm::test {

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
};

inline bool havePdfText()
{
    return !QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty();
}

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

} // namespace vm::test
