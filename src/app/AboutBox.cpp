#include "app/AboutBox.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

// Resources of a static library are registered by hand, outside any namespace.
static void registerResources()
{
    Q_INIT_RESOURCE(vellumark);
}

namespace vm {

QIcon applicationIcon()
{
    registerResources();
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/vellumark-%1.png").arg(size), QSize(size, size));
    return icon;
}

AboutBox::AboutBox(QWidget* parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(tr("About Vellumark"));
    auto* picture = new QLabel(this);
    picture->setPixmap(applicationIcon().pixmap(96, 96));
    picture->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(this);
    text->setObjectName(QStringLiteral("lblAbout"));
    text->setTextFormat(Qt::RichText);
    text->setOpenExternalLinks(true);
    text->setWordWrap(true);
    text->setTextInteractionFlags(Qt::TextBrowserInteraction);
    text->setText(
        tr("<h2>Vellumark %1</h2>"
           "<p>Designs and prints identity badges for the records of a database.</p>"
           "<p>Built with Qt %2, running on Qt %3.</p>"
           "<h3>Libraries and their licences</h3>"
           "<ul>"
           "<li><b>Qt</b> (Core, Gui, Widgets, Sql, PrintSupport): GNU Lesser General Public "
           "License version 3, linked dynamically. <a href=\"https://www.qt.io/licensing/\">"
           "qt.io/licensing</a></li>"
           "<li><b>libmdb</b> from mdbtools, which reads Access files: GNU Lesser General "
           "Public License version 2 or later, linked dynamically, with <b>GLib</b> (GNU LGPL "
           "2.1 or later). <a href=\"https://github.com/mdbtools/mdbtools\">"
           "github.com/mdbtools/mdbtools</a></li>"
           "<li><b>SQLite</b>: in the public domain. <a href=\"https://sqlite.org/copyright.html\">"
           "sqlite.org/copyright.html</a></li>"
           "<li><b>libpq</b>, through Qt's PostgreSQL driver: the PostgreSQL Licence. "
           "<a href=\"https://www.postgresql.org/about/licence/\">postgresql.org/about/licence"
           "</a></li>"
           "</ul>"
           "<p>The libraries come from the system; their sources are available from the "
           "distribution (on Debian: <tt>apt-get source</tt> with the package name).</p>")
            .arg(QStringLiteral(VELLUMARK_VERSION), QStringLiteral(QT_VERSION_STR),
                 QString::fromLatin1(qVersion())));

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
    auto* row = new QHBoxLayout;
    row->addWidget(picture);
    row->addWidget(text, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(buttons);
    resize(520, 420);
}

} // namespace vm
