#include "render/RenderingWindow.h"

#include "badge/BadgeFile.h"
#include "badge/BadgeStore.h"
#include "common/Units.h"
#include "project/ProjectSettings.h"
#include "render/BadgeCanvas.h"
#include "widgets/Dialogs.h"

namespace vm {

RenderingWindow::RenderingWindow(Side side, Dialogs& dialogs, QWidget* parent)
    : QMdiSubWindow(parent)
    , m_which(side)
    , m_dialogs(dialogs)
{
    const bool front = side == Side::Front;
    setObjectName(front ? QStringLiteral("frmFront") : QStringLiteral("frmBack"));
    setWindowTitle(front ? QStringLiteral("Front View") : QStringLiteral("Back View"));
    setWindowFlags(Qt::SubWindow | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    Picture1 = new BadgeCanvas(this);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setRenderOptions(renderOptions(RenderMode::Output, {}));
    Picture1->setSide(&m_shown);
    setWidget(Picture1);
    setCardSize(cardSizeTwips(Orientation::Landscape));
}

void RenderingWindow::setCardSize(QSizeF twips)
{
    Picture1->setCardSize(twips);
    adjustSize();
}

QSizeF RenderingWindow::cardSize() const
{
    return Picture1->cardSize();
}

void RenderingWindow::setShown(BadgeSide side)
{
    m_shown = std::move(side);
    Picture1->update();
}

void RenderingWindow::showRecord(const LinkedRecord& record)
{
    m_record = record;
    setShown(filledSide(m_layout, record));
}

void RenderingWindow::showNoRecord()
{
    m_record.reset();
    setShown(emptiedSide(m_layout));
}

void RenderingWindow::awaitRecord()
{
    m_record.reset();
    m_shown = emptiedSide(m_layout);
}

void RenderingWindow::repaintAwaited()
{
    Picture1->update();
}

void RenderingWindow::UnloadBadgeElements()
{
    m_layout = BadgeSide();
    m_record.reset();
    setShown(m_layout);
}

void RenderingWindow::Load_Card(const QString& Badpath)
{
    const ProjectSettings& settings = ProjectSettings::instance();
    Load_Card(openBadge(Badpath.isEmpty() ? settings.currentBadgePath() : Badpath,
                        settings.ProjectName, settings.DatabasePath, FieldTagRule::TableAndColumn)
                  .read);
}

void RenderingWindow::Load_Card(const BadgeLayoutRead& read)
{
    const bool front = m_which == Side::Front;
    // From here on the canvas is empty, even when a check below fails.
    UnloadBadgeElements();
    show();
    Picture1->repaint();

    switch (read.status) {
    case LoadStatus::CannotOpen:
        if (front)
            m_dialogs.message(this, {QStringLiteral("The badge file could not be opened."),
                                     MessageButtons::Ok,
                                     MessageIcon::Exclamation,
                                     {},
                                     read.errorText});
        return;
    case LoadStatus::WrongProject:
        if (front) // the back view stops without a second message
            MsgBox(m_dialogs, this, BadgeNotLoadedMessage, MessageButtons::Ok,
                   MessageIcon::Exclamation);
        return;
    case LoadStatus::WrongDatabase:
        MsgBox(m_dialogs, this, WrongDatabaseMessage, MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    case LoadStatus::Loaded:
        break;
    }

    ProjectSettings::instance().setBadgeOrientation(read.orientation);
    Q_EMIT orientationRead(read.orientation);
    m_layout = read.side(front ? BadgeSideId::Front : BadgeSideId::Back);
    setShown(m_layout);
    // One message each: the view of the first side the file ended in tells of both.
    const BadgeSideId mine = front ? BadgeSideId::Front : BadgeSideId::Back;
    if (!read.endedEarly.isEmpty() && read.endedEarly.first().side == mine)
        MsgBox(m_dialogs, this, earlyEndText(read), MessageButtons::Ok, MessageIcon::Exclamation);
    if (front && !read.missingLogos.isEmpty()) {
        m_dialogs.message(this, {QStringLiteral("A logo picture of the badge could not be loaded."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 read.missingLogos.join(QLatin1Char('\n'))});
    }
    if (const QString companion = companionText(read); front && !companion.isEmpty())
        MsgBox(m_dialogs, this, companion, MessageButtons::Ok, MessageIcon::Exclamation);
    if (front)
        Q_EMIT badgeLoaded();
    show();
}

} // namespace vm
