#include "records/frmData.h"

#include "badge/BadgeFile.h"
#include "badge/BadgeStore.h"
#include "badge/BadgeNames.h"
#include "common/FileNames.h"
#include "common/QuotedLines.h"
#include "project/DatabaseWaiting.h"
#include "project/ProjectSettings.h"
#include "records/RecordChangeWatch.h"
#include "records/PrintedChange.h"
#include "records/RecordIssuance.h"
#include "records/RecordLink.h"
#include "records/RecordLinkWorker.h"
#include "records/RecordListModel.h"
#include "records/RecordQuery.h"
#include "render/BadgeCanvas.h"
#include "render/RenderingWindow.h"
#include "widgets/Dialogs.h"
#include "widgets/ScreenUnits.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <utility>

namespace vm {
namespace {

// The window as designed, in twips: a client area of 10050 x 9645 with the list above the
// previews and the three frames. The search row above the list is new and moves the list's top
// down by a row; the parts below the list keep their distance from the bottom edge.
constexpr double DesignWidth = 10050;
constexpr double DesignHeight = 11280; // with the prints of the person shown at the bottom
constexpr double ListTop = 840;        // below the filter bar
constexpr double BelowList = 4905;  // from the list's bottom edge to the client's bottom
constexpr double RightMargin = 195; // from the list's right edge to the client's right
constexpr double ViewGap = 240;     // between the rendering windows when stacked beside the list
constexpr int LongestColumn = 320;  // pixels a column starts at most with


// Pixels a picture frame of either side takes on the screen, at least `atLeast`: the views are
// drawn from pictures decoded this large, and "+" or a print decodes the files again for paper.
QSize screenPixels(const PictureFrame& front, const PictureFrame& back, const BadgeCanvas& view,
                   QSize atLeast)
{
    const double dpi = view.logicalDpiX() * view.devicePixelRatioF() * std::max(view.zoom(), 1.0);
    auto pixels = [dpi](float twips) { return int(std::ceil(double(twips) / 1440 * dpi)); };
    return {std::max({pixels(front.Width), pixels(back.Width), atLeast.width(), 1}),
            std::max({pixels(front.Height), pixels(back.Height), atLeast.height(), 1})};
}

QString quoted(const QString& text)
{
    return QStringLiteral("\u201c%1\u201d").arg(text);
}

void showPicture(QLabel* label, const QImage& picture)
{
    if (picture.isNull()) {
        label->clear();
        return;
    }
    const QSize size = picture.size().scaled(label->contentsRect().size(), Qt::KeepAspectRatio);
    if (size.isEmpty() || size.width() * 2 < picture.width()) {
        label->setPixmap(QPixmap::fromImage(
            picture.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
        return;
    }
    // Down to half the size, drawing it filtered is as sharp as averaging it and a fraction of the
    // cost, which a click pays before the badge shows.
    QImage preview(size, QImage::Format_ARGB32_Premultiplied);
    preview.fill(Qt::transparent);
    QPainter painter(&preview);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(QRect(QPoint(), size), picture);
    painter.end();
    label->setPixmap(QPixmap::fromImage(std::move(preview)));
}

// "Badges" follows the project's list of badges, in stored order, keeping the badge chosen.
class BadgeCombo : public QComboBox {
public:
    explicit BadgeCombo(QWidget* parent)
        : QComboBox(parent)
    {
        const ProjectSettings& project = ProjectSettings::instance();
        addItems(project.badges());
        setCurrentIndex(-1);
        connect(&project, &ProjectSettings::badgesChanged, this, [this] {
            const QString chosen = currentText();
            const QSignalBlocker quiet(this);
            clear();
            addItems(ProjectSettings::instance().badges());
            setCurrentIndex(findText(chosen));
        });
    }
};

// The client area: a fixed design size to start with, and the controls placed on resizing.
class Body : public QWidget {
public:
    Body(QWidget* parent, std::function<void()> placeControls)
        : QWidget(parent)
        , m_place(std::move(placeControls))
    {
    }
    QSize sizeHint() const override { return screenSize(this, {DesignWidth, DesignHeight}); }

protected:
    void resizeEvent(QResizeEvent*) override { m_place(); }

private:
    std::function<void()> m_place;
};

// The list: a key that moves the current row with Ctrl (Home, End, Page Down, ...) marks the
// row it reaches, as the same key without Ctrl does. Left as Qt has it, the row would move
// unmarked and the badge would show a person who is not the one marked.
class RecordTable : public QTableView {
public:
    using QTableView::QTableView;

protected:
    QItemSelectionModel::SelectionFlags selectionCommand(const QModelIndex& index,
                                                         const QEvent* event) const override
    {
        if (event && event->type() == QEvent::KeyPress) {
            const auto* key = static_cast<const QKeyEvent*>(event);
            const bool moves = key->key() == Qt::Key_Home || key->key() == Qt::Key_End ||
                               key->key() == Qt::Key_PageUp || key->key() == Qt::Key_PageDown ||
                               key->key() == Qt::Key_Up || key->key() == Qt::Key_Down;
            if (moves && key->modifiers() == Qt::ControlModifier)
                return QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
        }
        return QTableView::selectionCommand(index, event);
    }
};

// Both views from one reading of the badge file, so its logos are decoded and its problems
// reported once.
void loadViews(RenderingWindow* front, RenderingWindow* back, const QString& path)
{
    const ProjectSettings& project = ProjectSettings::instance();
    const BadgeLayoutRead read = openBadge(path, project.ProjectName, project.DatabasePath,
                                           FieldTagRule::TableAndColumn)
                                     .read;
    front->Load_Card(read);
    back->Load_Card(read);
}

} // namespace

frmData::frmData(Dialogs& dialogs, RenderingWindow* front, RenderingWindow* back, LinkToViews link,
                 QWidget* parent)
    : QMdiSubWindow(parent)
    , cdlgImportBadge(dialogs, this)
    , m_dialogs(dialogs)
    , m_front(front)
    , m_back(back)
    , m_link(std::move(link))
    , m_records(std::make_unique<RecordListModel>())
{
    setObjectName(QStringLiteral("frmData"));
    setWindowTitle(QStringLiteral("Records"));
    // Long enough for a read on this machine or a nearby server, short enough to show at once
    // that a slow one is under way.
    m_awaitedPaint.setSingleShot(true);
    m_awaitedPaint.setInterval(120);
    connect(&m_awaitedPaint, &QTimer::timeout, this, &frmData::paintAwaited);
    buildControls();
    QCoreApplication::instance()->installEventFilter(this); // see eventFilter: Ctrl+F
    // Configured anew, the project may have another table: its rows, not the old person's.
    connect(&ProjectSettings::instance(), &ProjectSettings::projectReplaced, this,
            [this] { reload(false); });
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state == Qt::ApplicationActive)
                    checkForChanges();
            });
    ReloadData();
}

frmData::~frmData()
{
    Lst->setModel(nullptr);
}

void frmData::buildControls()
{
    auto* body = new Body(this, [this] { layoutControls(); });
    setWidget(body);

    lblFind = new QLabel(QStringLiteral("&Find:"), body);
    lblFind->setObjectName(QStringLiteral("lblFind"));
    txtFind = new QLineEdit(body);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtFind->setPlaceholderText(QStringLiteral("Name, number, any part of a record"));
    txtFind->setClearButtonEnabled(true);
    lblFind->setBuddy(txtFind);
    lblStatus = new QLabel(body);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setTextInteractionFlags(Qt::TextBrowserInteraction);
    prgLoad = new QProgressBar(body);
    prgLoad->setObjectName(QStringLiteral("prgLoad"));
    prgLoad->setAccessibleName(QStringLiteral("Records read"));
    prgLoad->setTextVisible(false);
    prgLoad->hide();

    Label2 = new QLabel(QStringLiteral("Close"), body);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setCursor(Qt::PointingHandCursor);
    Label2->setFocusPolicy(Qt::TabFocus);
    Label2->setToolTip(QStringLiteral("Close the record browser"));
    Label2->setAccessibleName(QStringLiteral("Close"));
    Label2->installEventFilter(this);

    Lst = new RecordTable(body);
    Lst->setObjectName(QStringLiteral("Lst"));
    Lst->setAccessibleName(QStringLiteral("Records"));
    Lst->setModel(m_records.get());
    Lst->setSelectionBehavior(QAbstractItemView::SelectRows);
    Lst->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Lst->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Lst->setWordWrap(false);
    Lst->setAlternatingRowColors(true);
    Lst->verticalHeader()->hide();
    Lst->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Lst->verticalHeader()->setDefaultSectionSize(Lst->fontMetrics().height() + 6);
    Lst->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    Lst->horizontalHeader()->setHighlightSections(false);
    Lst->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    Lst->setSortingEnabled(true);
    Lst->installEventFilter(this);
    m_issuance = new RecordIssuance(body, m_records.get());

    Image1 = new QLabel(body);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setAccessibleName(QStringLiteral("Photograph"));
    Image2 = new QLabel(body);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setAccessibleName(QStringLiteral("Signature"));
    for (QLabel* preview : {Image1, Image2}) {
        preview->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
        preview->setAlignment(Qt::AlignCenter);
    }
    cmdTakePhoto = new QPushButton(QStringLiteral("Take Photo"), body);
    cmdTakePhoto->setObjectName(QStringLiteral("cmdTakePhoto"));
    cmdTakePhoto->setToolTip(QStringLiteral("Take the photograph of the person shown"));
    cmdTakeSign = new QPushButton(QStringLiteral("Take Signature"), body);
    cmdTakeSign->setObjectName(QStringLiteral("cmdTakeSign"));
    cmdTakeSign->setToolTip(QStringLiteral("Take the signature of the person shown"));
    cmdTakeSign->setVisible(isPictureFieldSet(ProjectSettings::instance().SignField));
    connect(cmdTakePhoto, &QPushButton::clicked, this, &frmData::takePhotoRequested);
    connect(cmdTakeSign, &QPushButton::clicked, this, &frmData::takeSignatureRequested);

    auto frame = [body](const QString& name, const QString& caption) {
        auto* box = new QGroupBox(caption, body);
        box->setObjectName(name);
        return box;
    };
    auto place = [this](QWidget* w, double left, double top, double width, double height) {
        w->setGeometry(screenPixels(this, left), screenPixels(this, top), screenPixels(this, width),
                       screenPixels(this, height));
    };
    auto button = [&](QWidget* box, const QString& name, const QString& caption, double left,
                      double top, double width, double height) {
        auto* b = new QPushButton(caption, box);
        b->setObjectName(name);
        place(b, left, top, width, height);
        return b;
    };

    Frame1 = frame(QStringLiteral("Frame1"), QStringLiteral("Badges"));
    cmbBadges = new BadgeCombo(Frame1);
    cmbBadges->setObjectName(QStringLiteral("cmbBadges"));
    cmbBadges->setAccessibleName(QStringLiteral("Badges"));
    place(cmbBadges, 120, 240, 2295, 315);
    cmdImportBadge = button(Frame1, QStringLiteral("cmdImportBadge"), QStringLiteral("Improt"), 120,
                            600, 1095, 375);
    cmdImportBadge->setToolTip(
        QStringLiteral("Open a badge file and add it to the project's badges"));
    cmdChange =
        button(Frame1, QStringLiteral("cmdChange"), QStringLiteral("Change"), 1320, 600, 1095, 375);
    cmdChange->setToolTip(QStringLiteral("Open the current badge in the designer"));

    Frame2 = frame(QStringLiteral("Frame2"), QStringLiteral("Data"));
    cmdRefresh = button(Frame2, QStringLiteral("cmdRefresh"), QStringLiteral("Refresh"), 120, 360,
                        1095, 375);
    cmdEditRec = button(Frame2, QStringLiteral("cmdEditRec"), QStringLiteral("Add/Edit"), 1320, 360,
                        1335, 375);

    Frame3 = frame(QStringLiteral("Frame3"), QStringLiteral("Print"));
    opFront = new QRadioButton(QStringLiteral("Front"), Frame3);
    opFront->setObjectName(QStringLiteral("opFront"));
    place(opFront, 120, 240, 780, 255);
    opBack = new QRadioButton(QStringLiteral("Back"), Frame3);
    opBack->setObjectName(QStringLiteral("opBack"));
    place(opBack, 900, 240, 735, 255); // right of "Front" whatever the font
    opFront->setChecked(true);
    OsenXPButton1 =
        button(Frame3, QStringLiteral("OsenXPButton1"), QStringLiteral("+"), 120, 600, 495, 255);
    OsenXPButton1->setToolTip(
        QStringLiteral("Put the chosen side of the selected people on the print page"));
    OsenXPButton3 =
        button(Frame3, QStringLiteral("OsenXPButton3"), QStringLiteral("-"), 720, 600, 495, 255);
    OsenXPButton3->setToolTip(QStringLiteral("Take the badge added last off the print page"));
    OsenXPButton2 = button(Frame3, QStringLiteral("OsenXPButton2"), QStringLiteral("Preview"), 1680,
                           240, 1095, 375);
    OsenXPButton2->setToolTip(QStringLiteral("Show the print page"));
    for (QPushButton* b : {OsenXPButton1, OsenXPButton3})
        b->setAccessibleName(b->toolTip());

    Shape1 = new QFrame(body);
    Shape1->setObjectName(QStringLiteral("Shape1"));
    Shape1->setFrameStyle(QFrame::Box | QFrame::Plain);
    Shape1->setAutoFillBackground(true);
    Shape1->setBackgroundRole(QPalette::Mid);
    Shape1->hide();

    // The one place the badge follows the list: whatever moves the current row (a press, a key,
    // a search, a Refresh finding the person again) links the person of that row, so the row
    // marked, the badge shown and what "+" adds are the same person.
    connect(Lst->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!current.isValid())
                    return; // the list being read again: the views keep the person meanwhile
                m_keepKey.reset(); // chosen now: a Refresh under way must not take him back
                LinkSelectedRecord(m_linkQuietly);
            });
    connect(txtFind, &QLineEdit::textEdited, this, [this] {
        m_issuance->setSearchText(txtFind->text());
        find(false);
    });
    connect(txtFind, &QLineEdit::returnPressed, this, [this] { find(true); });
    connect(new QShortcut(QKeySequence::FindNext, this), &QShortcut::activated, this,
            [this] { find(true); });
    connect(cmbBadges, &QComboBox::activated, this, &frmData::chooseBadge);
    connect(cmdImportBadge, &QPushButton::clicked, this, &frmData::importBadge);
    connect(cmdChange, &QPushButton::clicked, this, [this] {
        if (!ProjectSettings::instance().currentBadgePath().isEmpty())
            Q_EMIT changeLayoutRequested();
    });
    connect(cmdRefresh, &QPushButton::clicked, this, &frmData::ReloadData);
    connect(cmdEditRec, &QPushButton::clicked, this, &frmData::editRecordsRequested);
    connect(OsenXPButton1, &QPushButton::clicked, this, &frmData::putOnPage);
    connect(OsenXPButton3, &QPushButton::clicked, this, &frmData::takeOffPage);
    connect(OsenXPButton2, &QPushButton::clicked, this, &frmData::preview);
    connect(lblStatus, &QLabel::linkActivated, this, &frmData::ReloadData);

    RecordListModel* model = m_records.get();
    // The list narrowed or widened: the person shown stays chosen when still in it, else the
    // first row holding what was typed. A person no longer listed is no longer shown: no row
    // is marked for him, and "+" must not add him.
    connect(model, &RecordListModel::filterFinished, this, [this] {
        countChanged();
        if (Lst->currentIndex().isValid())
            return;
        const std::optional<LinkedRecord>& shown =
            m_front ? m_front->record() : std::optional<LinkedRecord>();
        const int position = shown ? m_records->positionOfKey(shown->key.text()) : -1;
        if (position >= 0) {
            const QModelIndex index = m_records->index(position, 0);
            Lst->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                              QItemSelectionModel::Rows);
            Lst->scrollTo(index, QAbstractItemView::PositionAtCenter);
            return;
        }
        if (shown || isLinking())
            showNobody();
        if (!txtFind->text().trimmed().isEmpty())
            find(false);
    });
    connect(model, &RecordListModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) {
                onRowsArrived(first, last);
                countChanged();
            });
    connect(model, &RecordListModel::rowsRemoved, this, &frmData::countChanged);
    connect(model, &RecordListModel::modelReset, this, &frmData::countChanged);
    connect(model, &RecordListModel::loadProgress, this, &frmData::onLoadProgress);
    connect(model, &RecordListModel::loadFinished, this, &frmData::onLoadFinished);
    connect(model, &RecordListModel::found, this, &frmData::onFound);
    connect(model, &RecordListModel::sortFinished, this, [this] {
        if (Lst->currentIndex().isValid())
            Lst->scrollTo(Lst->currentIndex(), QAbstractItemView::PositionAtCenter);
    });
    connect(this, &QMdiSubWindow::aboutToActivate, this,
            [this] { QTimer::singleShot(0, this, &frmData::keepViewsInFront); });

    adjustSize();
}

void frmData::layoutControls()
{
    QWidget* body = widget();
    if (!body || !Shape1) // still being built
        return;
    const double width = screenTwips(this, body->width());
    const double height = screenTwips(this, body->height());
    auto place = [this](QWidget* w, double left, double top, double w_, double h) {
        w->setGeometry(screenPixels(this, left), screenPixels(this, top),
                       screenPixels(this, std::max(w_, 0.0)), screenPixels(this, std::max(h, 0.0)));
    };

    // In a maximised window the rendering windows stand in Shape1's place, right of the list.
    double shapeLeft = 10080;
    const bool besideViews = isMaximized() && m_front && m_front->isVisible();
    if (besideViews) {
        const QPoint views = body->mapFrom(parentWidget(), m_front->pos());
        shapeLeft = std::max(shapeLeft, screenTwips(this, views.x()) - 120);
    }
    Shape1->setVisible(besideViews);
    place(Shape1, shapeLeft, 360, width - shapeLeft - 120, height - 360 - 630);

    const double listRight = std::max(besideViews ? shapeLeft - RightMargin : width - RightMargin,
                                      DesignWidth - RightMargin);
    const double below = height - DesignHeight; // the bottom part keeps its distance to the edge
    place(Label2, listRight - 735, 120, 615, 240);
    place(lblFind, 120, 90, 480, 300);
    place(txtFind, 600, 90, 3600, 300);
    const double statusLeft = 4320;
    const double statusRight = listRight - 735 - 120;
    if (prgLoad->isVisible()) {
        place(prgLoad, statusRight - 1500, 135, 1500, 210);
        place(lblStatus, statusLeft, 90, statusRight - 1620 - statusLeft, 300);
    } else {
        place(lblStatus, statusLeft, 90, statusRight - statusLeft, 300);
    }
    place(Lst, 120, ListTop, listRight - 120, height - ListTop - BelowList);
    place(Image1, 120, 6360 + below, 2535, 2715);
    place(Image2, 2880, 6360 + below, 2535, 2715);
    place(cmdTakePhoto, 120, 9120 + below, 2535, 375);
    place(cmdTakeSign, 2880, 9120 + below, 2535, 375);
    place(Frame1, 5520, 6240 + below, 2895, 1215);
    place(Frame2, 5520, 7440 + below, 2895, 975);
    place(Frame3, 5520, 8400 + below, 2895, 975);
    place(m_issuance->filterBar, 120, 480, listRight - 120, 300);
    place(m_issuance->fraHistory, 120, 9480 + below, listRight - 120, 1680);
}

void frmData::showEvent(QShowEvent* event)
{
    QMdiSubWindow::showEvent(event);
    if (m_placed)
        return;
    m_placed = true;
    // The designed client size, at the top left of the main window's area; the front view level
    // with it, the back view below.
    if (!isMaximized())
        resize(widget()->sizeHint() + (size() - widget()->size()));
    move(screenPixels(this, 120), screenPixels(this, 120));
    if (m_front && m_back) {
        m_front->move(m_front->x(), y());
        m_back->move(m_back->x(), m_front->y() + m_front->height() + screenPixels(this, ViewGap));
    }
}

void frmData::resizeEvent(QResizeEvent* event)
{
    QMdiSubWindow::resizeEvent(event);
    keepViewsInFront();
}

void frmData::changeEvent(QEvent* event)
{
    QMdiSubWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange)
        QTimer::singleShot(0, this, &frmData::keepViewsInFront);
    if (event->type() == QEvent::ActivationChange && isActiveWindow())
        checkForChanges();
}

// A maximised browser would hide the rendering windows: they stay in front of it, stacked in
// Shape1's place, so the operator always sees the badge of the person chosen.
void frmData::keepViewsInFront()
{
    layoutControls();
    if (!isMaximized() || !m_front || !m_back || !widget())
        return;
    const int shapeTop = widget()->mapTo(parentWidget(), Shape1->pos()).y();
    m_front->move(m_front->x(), shapeTop + screenPixels(this, ViewGap));
    m_front->raise();
    m_back->move(m_back->x(), m_front->y() + m_front->height() + screenPixels(this, ViewGap));
    m_back->raise();
}

bool frmData::eventFilter(QObject* watched, QEvent* event)
{
    // Ctrl+F is also the main window's "Print Front Badge", whose filter claims the menus' keys
    // before any widget sees them. Within the browser the key finds: taken here, first.
    if (event->type() == QEvent::ShortcutOverride &&
        static_cast<QKeyEvent*>(event)->matches(QKeySequence::Find)) {
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && (widget == this || isAncestorOf(widget))) {
            event->accept();
            txtFind->setFocus(Qt::ShortcutFocusReason);
            txtFind->selectAll();
            return true;
        }
    }
    if (watched == Lst && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            LinkSelectedRecord();
            return true;
        }
        if (static_cast<QKeyEvent*>(event)->matches(QKeySequence::Find))
            return true; // taken as Find already, not a letter to jump to
    }
    if (watched == Label2) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            Label2->setFrameStyle(QFrame::Box | QFrame::Plain); // pressed, as a button would be
            return true;
        case QEvent::MouseButtonRelease: {
            Label2->setFrameStyle(QFrame::NoFrame);
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (Label2->rect().contains(mouse->position().toPoint()))
                QTimer::singleShot(0, this, &QMdiSubWindow::close);
            return true;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter) {
                QTimer::singleShot(0, this, &QMdiSubWindow::close);
                return true;
            }
            break;
        }
        default:
            break;
        }
    }
    return QMdiSubWindow::eventFilter(watched, event);
}

void frmData::ReloadData()
{
    reload(true);
}

void frmData::reload(bool keepPerson)
{
    const ProjectSettings& project = ProjectSettings::instance();
    m_keepKey.reset();
    if (m_feed && std::exchange(m_feed->waiting, false)) {
        --m_feed->next; // asked of the connection closed now: asked again
        QTimer::singleShot(0, this, &frmData::feedPage);
    }
    if (m_feed && !keepPerson) {
        // Keys of another table: the rest of the feed names nobody of this one.
        m_feed->keys.resize(m_feed->next);
    }
    if (keepPerson)
        m_keepKey = m_records->keyText(Lst->currentIndex().row());
    else
        showPreviews(std::nullopt);
    m_watch.reset();
    m_watchSaid.clear();
    m_linkWorker.reset();
    m_feedWorker.reset();
    cmdTakeSign->setVisible(isPictureFieldSet(project.SignField));
    m_linkPosition = -1;
    m_plusWaiting = false;
    m_changedKeys.clear();
    if (openWhileWaiting(mdiArea(), m_db, project.DatabasePath)) {
        m_linkWorker = std::make_unique<RecordLinkWorker>(project.DatabasePath, project.stored());
        connect(m_linkWorker.get(), &RecordLinkWorker::linked, this,
                [this](int, const LinkResult& result) { onLinked(result); });
        m_feedWorker = std::make_unique<RecordLinkWorker>(project.DatabasePath, project.stored());
        connect(m_feedWorker.get(), &RecordLinkWorker::linked, this,
                [this](int, const LinkResult& result) { onFed(result); });
        watchChanges();
    }
    m_columnsSized = false;
    lblStatus->setText(QStringLiteral("Reading the records of %1 ...").arg(project.MasterTable));
    prgLoad->setRange(0, 0);
    prgLoad->show();
    layoutControls();
    m_records->reload({project.DatabasePath, project.MasterTable, project.UniqueField});
    m_issuance->refresh();
}

void frmData::onLoadProgress(int rows, qint64 expected)
{
    if (expected > 0 && expected <= std::numeric_limits<int>::max()) {
        prgLoad->setRange(0, int(expected));
        prgLoad->setValue(std::min<qint64>(rows, expected));
        lblStatus->setText(QStringLiteral("Reading records: %L1 of %L2").arg(rows).arg(expected));
    } else {
        lblStatus->setText(QStringLiteral("Reading records: %L1").arg(rows));
    }
}

QString frmData::countText() const
{
    const int shown = m_records->rowCount();
    if (m_records->rowFilter().isActive()) {
        const int read = m_records->readRows();
        return read == 1 ? QStringLiteral("%L1 of 1 record").arg(shown)
                         : QStringLiteral("%L1 of %L2 records").arg(shown).arg(read);
    }
    return shown == 1 ? QStringLiteral("1 record") : QStringLiteral("%L1 records").arg(shown);
}

void frmData::showCount(bool withWatch)
{
    m_countWithWatch = withWatch && !m_watchSaid.isEmpty();
    m_countSaid =
        m_countWithWatch ? countText() + QStringLiteral(". ") + m_watchSaid : countText();
    lblStatus->setText(m_countSaid);
}

void frmData::countChanged()
{
    // Only a count still shown is brought up to date; what was said since stays.
    if (!m_countSaid.isEmpty() && lblStatus->text() == m_countSaid && !m_records->isLoading())
        showCount(m_countWithWatch);
}

void frmData::onLoadFinished(const QString& error)
{
    prgLoad->hide();
    if (error.isEmpty())
        showCount(true);
    else
        lblStatus->setText(error);
    layoutControls();
    if (m_records->sortColumn() >= 0) {
        // The arrow went with the columns while they were read again; the order did not.
        QHeaderView* header = Lst->horizontalHeader();
        const QSignalBlocker quiet(header);
        header->setSortIndicator(m_records->sortColumn(), m_records->sortOrder());
    }
    if (!error.isEmpty()) {
        m_keepKey.reset();
        m_dialogs.message(this, {QStringLiteral("The records could not be read."),
                                 MessageButtons::Ok,
                                 MessageIcon::Exclamation,
                                 {},
                                 error});
        return;
    }
    if (m_keepKey && m_linkWorker) {
        // The person selected before is no longer in the table: the views must not keep him.
        const Result<RecordKey> key = keyFromText(*m_keepKey);
        m_keepKey.reset();
        if (key)
            linkKey(*key, false);
        else
            showPreviews(m_front ? m_front->record() : std::nullopt);
    }
}

void frmData::onRowsArrived(int first, int last)
{
    if (!m_columnsSized && m_records->columnCount() > 0) {
        m_columnsSized = true;
        Lst->resizeColumnsToContents();
        for (int c = 0; c < m_records->columnCount(); ++c)
            Lst->setColumnWidth(c, std::min(Lst->columnWidth(c), LongestColumn));
    }
    if (!m_keepKey)
        return;
    const int position = m_records->positionOfKey(*m_keepKey, first, last);
    if (position < 0)
        return;
    m_keepKey.reset();
    goTo(position, false);
}

void frmData::offerRefresh()
{
    lblStatus->setText(QStringLiteral("The table has been changed. <a href=\"refresh\">Refresh "
                                      "the list</a>"));
}

void frmData::goTo(int position, bool quiet)
{
    // Reached again, the person is linked again: the views show what the table holds now.
    m_linkQuietly = quiet;
    if (Lst->currentIndex().row() == position)
        LinkSelectedRecord(quiet);
    else
        selectPosition(position);
    m_linkQuietly = false;
}

void frmData::selectPosition(int position)
{
    const QModelIndex index = m_records->index(position, 0);
    Lst->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect |
                                                      QItemSelectionModel::Rows);
    Lst->scrollTo(index, QAbstractItemView::PositionAtCenter);
}

Result<RecordKey> frmData::keyFromText(const QString& text) const
{
    // The kind came with the list's columns: a click asks the database nothing here.
    return uniqueFieldKey(text, m_records->keyKind(), ProjectSettings::instance().stored());
}

RecordKey frmData::keyAt(int position) const
{
    const std::optional<QString> text = m_records->keyText(position);
    const ColumnKind kind = m_records->keyKind();
    if (!text)
        return RecordKey::fromValue(QVariant(), kind); // says the record has no key
    Result<RecordKey> key = keyFromText(*text);
    return key ? *key : RecordKey::fromValue(*text, kind);
}

void frmData::LinkSelectedRecord(bool quiet)
{
    const int position = Lst->currentIndex().row();
    if (position < 0 || !m_linkWorker || !m_link)
        return;
    if (m_records->keyColumn() < 0) {
        const ProjectSettings& project = ProjectSettings::instance();
        MsgBox(m_dialogs, this,
               QStringLiteral("The table %1 has no column %2, which tells its records apart: no "
                              "record can be shown on the badge.")
                   .arg(quoted(project.MasterTable), quoted(project.UniqueField)),
               MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    }
    linkKey(keyAt(position), quiet, position);
}

bool frmData::isLinking() const
{
    return m_linkWorker && m_linkWorker->isLinking();
}

void frmData::linkKey(const RecordKey& key, bool quiet, int position)
{
    // Nobody is shown until the person is read: the row marked, the views and what "+" adds
    // never name two people, however slow the server. The emptied views are painted only when
    // the read takes long enough to be seen; a quick one paints once, with the new person.
    QSize photo, sign;
    m_awaitedPaint.start();
    if (m_front && m_back) {
        m_front->awaitRecord();
        m_back->awaitRecord();
        const BadgeSide& front = m_front->layout();
        const BadgeSide& back = m_back->layout();
        const BadgeCanvas& canvas = *m_front->canvas();
        photo = screenPixels(front.imgPhoto, back.imgPhoto, canvas, Image1->contentsRect().size());
        sign = screenPixels(front.imgSign, back.imgSign, canvas, Image2->contentsRect().size());
    }
    m_linkQuiet = quiet;
    m_linkPosition = position;
    m_linkWorker->link(key, photo, sign);
}

void frmData::showNobody()
{
    if (m_linkWorker)
        m_linkWorker->cancel();
    m_plusWaiting = false;
    m_linkPosition = -1;
    m_awaitedPaint.stop();
    if (m_front && m_back) {
        m_front->showNoRecord();
        m_back->showNoRecord();
    }
    showPreviews(std::nullopt);
    m_issuance->showPerson(std::nullopt);
}

void frmData::paintAwaited()
{
    showPreviews(std::nullopt);
    if (m_front && m_back) {
        m_front->repaintAwaited();
        m_back->repaintAwaited();
    }
}

void frmData::onLinked(const LinkResult& result)
{
    // The previews drop the person before now, in case what follows asks something; they are
    // painted once, after the new person is in.
    m_awaitedPaint.stop();
    showPreviews(std::nullopt);
    QString said;
    m_link(result, m_linkQuiet ? &said : nullptr);
    showPreviews(m_front ? m_front->record() : std::nullopt);
    m_issuance->showPerson(m_front && m_front->record()
                               ? std::optional(m_front->record()->key.text())
                               : std::nullopt);
    const int position = std::exchange(m_linkPosition, -1);
    if (m_linkQuiet)
        sayFound(said);
    // The key may name someone else by now, or nobody (changed or deleted at another station):
    // the row takes the values of the person shown, is marked, and the operator is told.
    QString changedSaid;
    if (position >= 0 && result.outcome == LinkOutcome::NoSuchRecord) {
        changedSaid = QStringLiteral("The record %1 is no longer in the table %2: it was deleted "
                                     "since the list was read.")
                          .arg(quoted(*m_records->keyText(position)),
                               ProjectSettings::instance().MasterTable);
        m_records->markRow(position, changedSaid, true);
    } else if (position >= 0 && result.record) {
        const QStringList changed = m_records->takeLinkedValues(position, result.record->values);
        if (!changed.isEmpty()) {
            changedSaid =
                QStringLiteral("The record %1 has changed in the table since the list "
                               "was read (%2): the row shows it as it is now.")
                    .arg(quoted(result.record->key.text()), changed.join(QStringLiteral(", ")));
            m_records->markRow(position, changedSaid);
        }
    }
    if (!changedSaid.isEmpty()) {
        m_changeSaid = true;
        lblStatus->setToolTip(QString());
        lblStatus->setText(changedSaid +
                           QStringLiteral(" <a href=\"refresh\">Refresh the list</a>"));
    } else if (position >= 0 && std::exchange(m_changeSaid, false) && !m_records->isLoading()) {
        showCount();
    }
    if (std::exchange(m_plusWaiting, false))
        putOnPage();
}

void frmData::watchChanges()
{
    const ProjectSettings& project = ProjectSettings::instance();
    m_watch = std::make_unique<RecordChangeWatch>(m_db, project.MasterTable, project.UniqueField);
    connect(m_watch.get(), &RecordChangeWatch::rowChanged, this, &frmData::onRowChanged);
    m_watchSaid = m_watch->start();
    cmdRefresh->setToolTip(m_watchSaid.isEmpty() ? QStringLiteral("Read the records again")
                                                 : m_watchSaid);
}

void frmData::onRowChanged(const QString& key, bool deleted)
{
    Q_UNUSED(deleted) // the person is read again either way, which tells
    const int current = Lst->currentIndex().row();
    if (current >= 0 && m_records->keyText(current) == key) {
        LinkSelectedRecord(true);
        return;
    }
    // Others are marked a moment later, a few at a time: a burst of changes elsewhere must not
    // hold up the window with a search of the list for each.
    if (m_changedKeys.isEmpty())
        QTimer::singleShot(250, this, [this] {
            const QStringList keys = std::exchange(m_changedKeys, {});
            if (keys.size() > 20) {
                offerRefresh();
                return;
            }
            for (const QString& changed : keys) {
                const int position = m_records->positionOfKey(changed);
                if (position >= 0)
                    m_records->markRow(
                        position, QStringLiteral("Changed at another station since the list was "
                                                 "read: Refresh to see it as it is now."));
            }
            offerRefresh();
        });
    if (!m_changedKeys.contains(key))
        m_changedKeys << key;
}

void frmData::checkForChanges()
{
    if (!m_watch || m_watch->isLive() || m_records->isLoading())
        return;
    if (m_watch->changedSinceLastCheck().value_or(false)) {
        offerRefresh();
        if (Lst->currentIndex().isValid())
            LinkSelectedRecord(true);
    }
}

void frmData::pictureChanged(const RecordKey& key)
{
    const std::optional<LinkedRecord>& shown = m_front ? m_front->record() : std::nullopt;
    if (shown && shown->key == key && m_linkWorker)
        linkKey(key, true, -1);
}

void frmData::showPreviews(const std::optional<LinkedRecord>& record)
{
    showPicture(Image1, record ? record->photo : QImage());
    showPicture(Image2, record ? record->sign : QImage());
}

bool frmData::OpenImage(QLabel* Cnt, QString& ptH)
{
    QImage picture;
    const bool first = vm::OpenImage(picture, ptH);
    showPicture(Cnt, picture);
    return first;
}

void frmData::find(bool next)
{
    const QString typed = txtFind->text();
    if (typed.trimmed().isEmpty()) {
        m_records->cancelFind();
        return;
    }
    const int from = next ? Lst->currentIndex().row() + 1 : 0;
    m_records->find(typed, from);
}

void frmData::onFound(const QString& typed, int position)
{
    if (typed != txtFind->text())
        return;
    // What a search has to say stands in the status line, not in a box that would take the
    // next keystrokes, until a later search finds someone.
    if (position < 0)
        sayFound(QStringLiteral("No record holds %1.").arg(quoted(typed.trimmed())));
    else
        goTo(position, true); // says what it found once the person is read
}

void frmData::sayFound(const QString& said)
{
    if (!said.isEmpty()) {
        lblStatus->setToolTip(said);
        lblStatus->setText(
            lblStatus->fontMetrics().elidedText(said, Qt::ElideRight, lblStatus->width()));
    } else if (m_searchSaid) {
        lblStatus->setToolTip(QString());
        if (!m_records->isLoading())
            showCount();
    }
    m_searchSaid = !said.isEmpty();
}

void frmData::chooseBadge(int index)
{
    if (index < 0)
        return;
    ProjectSettings& project = ProjectSettings::instance();
    const QString path =
        fileInFolder(project.BadgeDir, cmbBadges->itemText(index) + QStringLiteral(".lyt"));
    loadViews(m_front, m_back, path);
    project.setCurrentBadgePath(path);
    showPreviews(std::nullopt);
}

void frmData::importBadge()
{
    ProjectSettings& project = ProjectSettings::instance();
    cdlgImportBadge.Filter = QStringLiteral("Badge file (*.Lyt)|*.Lyt");
    cdlgImportBadge.InitDir = project.BadgeDir;
    cdlgImportBadge.FileName.clear();
    cdlgImportBadge.ShowOpen();
    QString path = cdlgImportBadge.FileName;
    if (path.size() < 4)
        return;
    const BadgeLayoutRead read = openBadge(path, project.ProjectName, project.DatabasePath,
                                           FieldTagRule::TableAndColumn)
                                     .read;
    if (read.status == LoadStatus::WrongProject) {
        path = adoptBadge(path);
        if (path.isEmpty())
            return;
    }
    loadViews(m_front, m_back, path);
    project.setCurrentBadgePath(path);
    showPreviews(std::nullopt);
    if (read.status != LoadStatus::Loaded && read.status != LoadStatus::WrongProject)
        return; // a badge that did not load is no badge of the project
    const QString title = fileTitle(path);
    project.addBadge(title.left(title.size() - 4));
}

// A badge of another project: says whose it is and, if the operator agrees, copies it into this
// project's badge folder as one of its own. The file chosen is left as it was. Returns the copy.
QString frmData::adoptBadge(const QString& path)
{
    const ProjectSettings& project = ProjectSettings::instance();
    const Result<DecodedLines> read = readQuotedLinesFile(path);
    QStringList lines = read ? read->toStringList() : QStringList();
    const QString owner = lines.isEmpty() ? QString() : lines[0].section(u':', 1);
    const QString name = fileTitle(path).chopped(4);
    const QString copy =
        resolveFileName(fileInFolder(project.BadgeDir, name + QStringLiteral(".Lyt")));
    const OperatorMessage question{
        QStringLiteral("Badge Not Loaded!"), MessageButtons::YesNo, MessageIcon::Question, {},
        QStringLiteral("The badge %1 belongs to the project %2, not to %3. Adopt it: copy it "
                       "into this project's badge folder as %4, made for this project and its "
                       "database?")
            .arg(name, owner.isEmpty() ? QStringLiteral("(none named)") : owner,
                 project.ProjectName, copy)};
    if (lines.size() < 3 || m_dialogs.message(this, question) != MessageAnswer::Yes)
        return {};
    if (QFileInfo::exists(copy)) {
        m_dialogs.message(this, {QStringLiteral("The badge was not adopted."), MessageButtons::Ok,
                                 MessageIcon::Exclamation, {},
                                 QStringLiteral("This project has a badge %1 already; rename "
                                                "one of the two first.")
                                     .arg(copy)});
        return {};
    }
    const QStringList general =
        generalSectionLines(project.ProjectName, project.DatabasePath, 0);
    lines[0] = general[0];
    lines[1] = general[1];
    if (const Status saved = writeBadgeCopy(path, copy, encodeQuotedLines(lines)); !saved) {
        m_dialogs.message(this, {QStringLiteral("The badge was not adopted."), MessageButtons::Ok,
                                 MessageIcon::Exclamation, {}, saved.error()});
        return {};
    }
    return copy;
}

RenderingWindow* frmData::chosenView() const
{
    return opBack->isChecked() ? m_back : m_front;
}

void frmData::setPageCount(int count)
{
    m_pageCount = count;
    m_onPage.resize(std::max(count, 0)); // badges from before: whose they are is not known here
}

QString frmData::pageEntry(const RecordKey& key) const
{
    return (opBack->isChecked() ? QStringLiteral("B") : QStringLiteral("F")) + key.text();
}

bool frmData::addSlot(PrintSlot slot)
{
    if (m_pageCount >= PageLimit) {
        MsgBox(m_dialogs, this, QStringLiteral("Sorry, Out of page's limit!"), MessageButtons::Ok,
               MessageIcon::Exclamation);
        return false;
    }
    slot.keepPicturesForPrint();
    slot.badge = recordedLayoutName(ProjectSettings::instance().currentBadgePath());
    ++m_pageCount;
    m_onPage.resize(m_pageCount - 1);
    m_onPage << (slot.record ? pageEntry(slot.record->key) : QString());
    Q_EMIT addToPrintPage(m_pageCount - 1, slot);
    return true;
}

void frmData::sayAdded()
{
    lblStatus->setToolTip(QString());
    lblStatus->setText(QStringLiteral("added: %L1 on the page").arg(m_pageCount));
}

// "+": the chosen side as it is shown, or, with several people selected, that side filled with
// each of them in list order. A person who cannot be linked is left out and named.
void frmData::putOnPage()
{
    RenderingWindow* view = chosenView();
    if (!view || m_feed)
        return;
    if (isLinking()) {
        m_plusWaiting = true; // the person marked goes on, once read
        return;
    }
    if (ProjectSettings::instance().currentBadgePath().isEmpty()) {
        MsgBox(m_dialogs, this,
               QStringLiteral("Choose a badge in the Badges list first: there is nothing to put "
                              "on the print page yet."),
               MessageButtons::Ok, MessageIcon::Exclamation);
        return;
    }

    QItemSelection selection = Lst->selectionModel()->selection();
    std::sort(selection.begin(), selection.end(),
              [](const QItemSelectionRange& a, const QItemSelectionRange& b) {
                  return a.top() < b.top();
              });
    QList<int> positions;
    const qsizetype room = qsizetype(PageLimit - m_pageCount) + 1; // one more shows the limit
    for (const QItemSelectionRange& range : selection) {
        for (int row = range.top(); row <= range.bottom() && positions.size() < room; ++row) {
            if (positions.isEmpty() || positions.last() != row)
                positions << row;
        }
    }

    if (positions.size() <= 1 || !m_feedWorker) {
        // The person of the current row as linked to the view, never a copy kept aside: what
        // the view shows is what goes on the page, also a side emptied by a failed link.
        const std::optional<LinkedRecord>& record = view->record();
        if (record && m_onPage.contains(pageEntry(record->key)) &&
            MsgBox(m_dialogs, this,
                   QStringLiteral("%1 is already on the print page with this side. Add another "
                                  "copy?")
                       .arg(quoted(record->key.text())),
                   MessageButtons::YesNo, MessageIcon::Question) != MessageAnswer::Yes)
            return;
        PrintSlot slot{record ? view->layout() : view->shownSide(), record, view->cardSize()};
        const RenderingWindow* other = view == m_front ? m_back : m_front;
        slot.reverse = record ? other->layout() : other->shownSide();
        slot.back = view == m_back;
        if (addSlot(slot))
            sayAdded();
        return;
    }

    // Linked one after another on a thread of their own, so the window stays usable while
    // hundreds go on.
    const RenderingWindow* other = view == m_front ? m_back : m_front;
    PageFeed feed{view->layout(), other->layout(), view->cardSize(), {}, 0, {}, false, false, view == m_back};
    QList<RecordKey> again;
    for (int position : positions) {
        const RecordKey key = keyAt(position);
        (m_onPage.contains(pageEntry(key)) ? again : feed.keys) << key;
    }
    if (!again.isEmpty()) {
        const MessageAnswer answer = MsgBox(
            m_dialogs, this,
            QStringLiteral("%L1 of the people selected are already on the print page with this "
                           "side. Add another copy of them?")
                .arg(again.size()),
            MessageButtons::YesNoCancel, MessageIcon::Question);
        if (answer == MessageAnswer::Cancel)
            return;
        if (answer == MessageAnswer::Yes) {
            // Back in list order.
            feed.keys.clear();
            for (int position : positions)
                feed.keys << keyAt(position);
        }
    }
    m_feed = std::move(feed);
    OsenXPButton1->setEnabled(false);
    OsenXPButton3->setEnabled(false);
    feedPage();
}

void frmData::feedPage()
{
    if (!m_feed || m_feed->waiting)
        return;
    PageFeed& feed = *m_feed;
    if (!m_feedWorker) {
        // The records could not be read again meanwhile: nobody else can be linked.
        feed.missing << QStringLiteral("%L1 people were not added: the records could not be read.")
                            .arg(feed.keys.size() - feed.next);
        feed.next = feed.keys.size();
    }
    if (!feed.full && feed.next < feed.keys.size()) {
        lblStatus->setText(QStringLiteral("Putting people on the print page: %L1 of %L2")
                               .arg(feed.next)
                               .arg(feed.keys.size()));
        // Only their pictures' headers read, to know they are there and whole: the page decodes
        // them when it draws.
        feed.waiting = true;
        m_feedWorker->link(feed.keys[feed.next++], PictureHeaderOnly, PictureHeaderOnly);
        return;
    }
    const QStringList missing = feed.missing;
    m_feed.reset();
    OsenXPButton1->setEnabled(true);
    OsenXPButton3->setEnabled(true);
    sayAdded();
    if (!missing.isEmpty())
        m_dialogs.message(
            this, {QStringLiteral("%1 of the people selected could not be put on the print page.")
                       .arg(missing.size()),
                   MessageButtons::Ok,
                   MessageIcon::Exclamation,
                   {},
                   missing.join(QLatin1Char('\n'))});
}

void frmData::onFed(const LinkResult& linked)
{
    if (!m_feed)
        return;
    PageFeed& feed = *m_feed;
    feed.waiting = false;
    if (linked.record) {
        PrintSlot slot{feed.layout, linked.record, feed.cardTwips};
        slot.reverse = feed.reverse;
        slot.back = feed.back;
        feed.full = !addSlot(slot);
    } else {
        feed.missing << linked.message;
    }
    feedPage();
}

void frmData::takeOffPage()
{
    if (m_pageCount <= 0)
        return;
    Q_EMIT removeFromPrintPage(m_pageCount - 1);
    --m_pageCount;
    m_onPage.resize(m_pageCount);
}

void frmData::preview()
{
    Q_EMIT previewRequested(ProjectSettings::instance().badgeOrientation());
}

} // namespace vm
