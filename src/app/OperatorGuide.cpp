#include "app/OperatorGuide.h"

#include <QFile>
#include <QImageReader>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

// Resources of a static library are registered by hand, outside any namespace.
static void registerGuide()
{
    Q_INIT_RESOURCE(guide);
}

namespace vm {

namespace {

// Wider screenshots are shown at this width, so reading the guide needs no sideways scrolling.
constexpr int PictureWidth = 760;

// The anchor the README's links use for a heading, as its host makes them: lower case, blanks
// become hyphens, other punctuation goes.
QString headingAnchor(const QString& heading)
{
    QString anchor;
    for (const QChar c : heading.trimmed()) {
        if (c.isLetterOrNumber())
            anchor += c.toLower();
        else if (c == u' ')
            anchor += u'-';
        else if (c == u'-' || c == u'_')
            anchor += c;
    }
    return anchor;
}

void anchorHeadings(QTextDocument& doc)
{
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() == 0)
            continue;
        QTextCursor cursor(block);
        cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
        QTextCharFormat format;
        format.setAnchor(true);
        format.setAnchorNames({headingAnchor(block.text())});
        cursor.mergeCharFormat(format);
    }
}

void fitPictures(QTextDocument& doc)
{
    struct Picture {
        int position;
        QTextImageFormat format;
    };
    QList<Picture> pictures;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            if (it.fragment().charFormat().isImageFormat())
                pictures.append(
                    {it.fragment().position(), it.fragment().charFormat().toImageFormat()});
        }
    }
    for (Picture& picture : pictures) {
        const QUrl url = doc.baseUrl().resolved(QUrl(picture.format.name()));
        const QSize size = QImageReader(QLatin1Char(':') + url.path()).size();
        if (size.width() <= PictureWidth)
            continue;
        picture.format.setWidth(PictureWidth);
        picture.format.setHeight(PictureWidth * size.height() / size.width());
        QTextCursor cursor(&doc);
        cursor.setPosition(picture.position);
        cursor.setPosition(picture.position + 1, QTextCursor::KeepAnchor);
        cursor.setCharFormat(picture.format);
    }
}

} // namespace

OperatorGuide::OperatorGuide(QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_browser(new QTextBrowser(this))
{
    registerGuide();
    setObjectName(QStringLiteral("frmGuide"));
    setWindowTitle(tr("Operator's guide - Vellumark"));
    m_browser->setObjectName(QStringLiteral("txtGuide"));
    m_browser->setAccessibleName(tr("Operator's guide"));
    m_browser->setOpenExternalLinks(true);

    QTextDocument* doc = m_browser->document();
    doc->setBaseUrl(QUrl(QStringLiteral("qrc:/guide/")));
    doc->setDocumentMargin(12);
    QFile file(QStringLiteral(":/guide/guide.md"));
    if (file.open(QIODevice::ReadOnly))
        doc->setMarkdown(QString::fromUtf8(file.readAll()));
    anchorHeadings(*doc);
    fitPictures(*doc);
    // Reading Markdown leaves the cursor at the end, and a browser shown scrolls to its cursor.
    m_browser->moveCursor(QTextCursor::Start);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_browser);
    resize(PictureWidth + 100, 720);
}

void OperatorGuide::showSection(const QString& anchor)
{
    // A hidden browser keeps the anchor and scrolls to it once shown and laid out.
    if (anchor.isEmpty()) {
        m_browser->moveCursor(QTextCursor::Start);
        m_browser->verticalScrollBar()->setValue(0);
    } else {
        m_browser->scrollToAnchor(anchor);
    }
}

QStringList OperatorGuide::sectionAnchors() const
{
    QStringList anchors;
    for (QTextBlock block = m_browser->document()->begin(); block.isValid(); block = block.next()) {
        if (block.blockFormat().headingLevel() > 0)
            anchors += block.begin().fragment().charFormat().anchorNames();
    }
    return anchors;
}

const QHash<QString, QString>& guideSections()
{
    static const QHash<QString, QString> sections{
        {QStringLiteral("frmNewProj"), QStringLiteral("a-new-project")},
        {QStringLiteral("frmConfigure"), QStringLiteral("the-database-wizard")},
        {QStringLiteral("frmDesigner"), QStringLiteral("designing-a-badge")},
        {QStringLiteral("frmData"), QStringLiteral("the-record-browser")},
        {QStringLiteral("FrmAddRec"), QStringLiteral("the-record-browser")},
        {QStringLiteral("frmPreview"), QStringLiteral("the-print-page")},
        {QStringLiteral("frmCapture"), QStringLiteral("photographs-and-signatures")},
        {QStringLiteral("frmCrop"), QStringLiteral("photographs-and-signatures")},
    };
    return sections;
}

} // namespace vm
