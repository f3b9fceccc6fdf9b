#include "records/RecordListModel.h"

#include "project/Database.h"
#include "project/StatementCancel.h"
#include "records/LinkedRecord.h"
#include "records/RecordTableReader.h"
#include "records/SearchText.h"

#include <QFont>
#include <QMutex>
#include <QPointer>
#include <QScopeGuard>
#include <QThread>

namespace vm {
namespace {

bool rowPasses(const RecordRows& rows, int row, int keyColumn, const RowFilter& filter)
{
    if (!filter.terms.isEmpty() && !holdsEveryTerm(rows.searchText(row), filter.terms))
        return false;
    if (filter.keys == RowFilter::Keys::Any)
        return true;
    const std::optional<std::string_view> key =
        keyColumn >= 0 ? rows.cell(row, keyColumn) : std::nullopt;
    const bool listed =
        key && filter.listed &&
        filter.listed->contains(QByteArray::fromRawData(key->data(), qsizetype(key->size())));
    return listed == (filter.keys == RowFilter::Keys::Listed);
}

} // namespace

struct RecordListModel::LoadState {
    RecordListSource source;
    int generation = 0;
    std::atomic<bool> cancelled{false};
    QMutex mutex;
    QPointer<RecordListModel> owner; // cleared when the model no longer wants what is read
    std::function<void()> cancelStatement;

    void stop()
    {
        cancelled = true;
        const QMutexLocker lock(&mutex);
        owner = nullptr;
        if (cancelStatement)
            cancelStatement();
    }

    // Runs `f` on the model's thread while the model wants the reading.
    template <class F> void post(F f)
    {
        const QMutexLocker lock(&mutex);
        if (owner)
            QMetaObject::invokeMethod(owner.data(), std::move(f), Qt::QueuedConnection);
    }
};

RecordListModel::RecordListModel(QObject* parent)
    : QAbstractTableModel(parent)
{
    m_pool.setMaxThreadCount(2);
}

RecordListModel::~RecordListModel()
{
    stopThreads();
}

void RecordListModel::stopThreads()
{
    for (const Loader& loader : m_loaders)
        loader.state->stop();
    if (m_sortCancel)
        *m_sortCancel = true;
    if (m_findCancel)
        *m_findCancel = true;
    if (m_filterCancel)
        *m_filterCancel = true;
    for (const Loader& loader : m_loaders) {
        // A server that answers not even the cancel keeps its thread a while: it ends on its
        // own and deletes itself, holding nothing of this model.
        if (loader.thread->wait(QDeadlineTimer(1500))) {
            delete loader.thread;
        } else {
            connect(loader.thread, &QThread::finished, loader.thread, &QObject::deleteLater);
        }
    }
    m_loaders.clear();
    m_pool.waitForDone();
}

void RecordListModel::reload(const RecordListSource& source)
{
    if (m_load)
        m_load->stop();
    cancelFind();
    if (m_sortCancel)
        *m_sortCancel = true;
    m_sortDone = ++m_sortSerial;
    std::erase_if(m_loaders, [](const Loader& loader) {
        if (!loader.thread->isFinished())
            return false;
        delete loader.thread;
        return true;
    });

    beginResetModel();
    m_source = source;
    m_rows.clear();
    m_linked.clear();
    m_marks.clear();
    m_order.reset();
    // A filter stays: the rows that come are filtered as they arrive.
    if (m_filterCancel)
        *m_filterCancel = true;
    m_filterDone = ++m_filterSerial;
    m_reorderOnly = false;
    m_shown = m_filter.isActive() ? std::make_shared<const std::vector<int>>() : nullptr;
    m_columns.clear();
    m_kinds.clear();
    m_keyColumn = -1;
    m_keyKind = ColumnKind::Other;
    m_expected = -1;
    m_loadError.clear();
    m_loading = true;
    ++m_generation;
    endResetModel();
    startLoad();
}

void RecordListModel::startLoad()
{
    auto state = std::make_shared<LoadState>();
    state->source = m_source;
    state->generation = m_generation;
    m_load = state;

    state->owner = this;
    QThread* thread = QThread::create([state, this] {
        const int generation = state->generation;
        const QString error = [&] {
            DatabaseConnection db;
            if (!db.OpenProjectDatabase(state->source.databasePath))
                return db.errorText();
            {
                const QMutexLocker lock(&state->mutex);
                state->cancelStatement = statementCanceller(db);
            }
            const auto dropCancel = qScopeGuard([&] {
                const QMutexLocker lock(&state->mutex);
                state->cancelStatement = nullptr;
            });
            if (db.engine() == DatabaseEngine::PostgreSQL) {
                // Numeric keys are shown and looked up exactly, however many digits they have.
                QSqlDatabase handle = db.database();
                handle.setNumericalPrecisionPolicy(QSql::HighPrecision);
            }
            RecordTableSink sink;
            sink.columns = [&](const RecordTableColumns& columns) {
                state->post([this, generation, columns] { onColumns(generation, columns); });
            };
            sink.chunk = [&](RecordChunkPtr chunk) {
                state->post([this, generation, chunk] { onChunk(generation, chunk); });
            };
            return readRecordTable(db, state->source.table, state->source.keyColumn, sink,
                                   state->cancelled);
        }();
        if (state->cancelled)
            return;
        state->post([this, generation, error] { onLoadFinished(generation, error); });
    });
    m_loaders.push_back({thread, state});
    thread->start();
}

void RecordListModel::onColumns(int generation, const RecordTableColumns& columns)
{
    if (generation != m_generation)
        return;
    beginResetModel();
    m_columns = columns.names;
    m_kinds = columns.kinds;
    m_keyColumn = columns.keyColumn;
    m_keyKind = columns.keyKind;
    m_expected = columns.expectedRows;
    endResetModel();
    Q_EMIT loadProgress(0, m_expected);
}

void RecordListModel::onChunk(int generation, const RecordChunkPtr& chunk)
{
    if (generation != m_generation)
        return;
    const int first = m_rows.rowCount();
    if (m_shown) {
        m_rows.append(chunk);
        // A whole pass under way takes these rows too once it is done.
        if (!isFiltering()) {
            std::vector<int> passing;
            for (int row = first; row < m_rows.rowCount(); ++row) {
                if (rowPasses(m_rows, row, m_keyColumn, m_filter))
                    passing.push_back(row);
            }
            if (!passing.empty()) {
                const int shown = int(m_shown->size());
                beginInsertRows({}, shown, shown + int(passing.size()) - 1);
                auto grown = std::make_shared<std::vector<int>>(*m_shown);
                grown->insert(grown->end(), passing.begin(), passing.end());
                m_shown = std::move(grown);
                endInsertRows();
            }
        }
    } else {
        beginInsertRows({}, first, first + chunk->rowCount() - 1);
        m_rows.append(chunk);
        endInsertRows();
    }
    Q_EMIT loadProgress(m_rows.rowCount(), m_expected);
    if (m_findPending && !m_findCancel)
        startFind(m_findSearched, false);
}

void RecordListModel::onLoadFinished(int generation, const QString& error)
{
    if (generation != m_generation)
        return;
    m_loading = false;
    m_loadError = error;
    m_load.reset();
    if (m_sortColumn >= 0 && (!m_order || m_order->size() < m_rows.rowCount()))
        startSort();
    if (m_findPending && !m_findCancel)
        startFind(m_findSearched, false);
    Q_EMIT loadFinished(error);
}

int RecordListModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_shown ? int(m_shown->size()) : m_rows.rowCount();
}

int RecordListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_columns.size()) + (m_issued ? 2 : 0);
}

int RecordListModel::rowAt(int position) const
{
    if (m_shown)
        return (*m_shown)[std::size_t(position)];
    return m_order ? m_order->row(position) : position;
}

QVariant RecordListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    if (m_issued && index.column() >= int(m_columns.size())) {
        if (role == Qt::TextAlignmentRole)
            return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
        if (role != Qt::DisplayRole)
            return {};
        const std::optional<QString> key = keyText(index.row());
        const auto found = key ? m_issued->constFind(*key) : m_issued->cend();
        if (index.column() == printedColumn())
            return found == m_issued->cend() ? 0 : found->count;
        return found == m_issued->cend()
                   ? QString()
                   : found->lastPrinted.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    }
    switch (role) {
    case Qt::DisplayRole: {
        const int row = rowAt(index.row());
        if (const auto linked = m_linked.constFind(row); linked != m_linked.cend()) {
            if (const auto cell = linked->constFind(index.column()); cell != linked->cend())
                return cell->value_or(QStringLiteral(" "));
        }
        const std::optional<std::string_view> cell = m_rows.cell(row, index.column());
        if (!cell)
            return QStringLiteral(" ");
        // A cell shows one line's worth: laying out a megabyte of text at each paint would hold
        // up every keystroke beside it.
        constexpr std::size_t Shown = 2000;
        if (cell->size() > Shown) {
            std::size_t cut = Shown;
            while (cut > 0 && (static_cast<unsigned char>((*cell)[cut]) & 0xC0) == 0x80)
                --cut; // not inside a character
            return QString::fromUtf8(cell->data(), qsizetype(cut)) + QChar(0x2026);
        }
        return QString::fromUtf8(cell->data(), qsizetype(cell->size()));
    }
    case Qt::TextAlignmentRole:
        return QVariant::fromValue(Qt::Alignment(Qt::AlignLeft | Qt::AlignVCenter));
    case Qt::ToolTipRole:
    case Qt::AccessibleDescriptionRole:
        if (const auto mark = m_marks.constFind(rowAt(index.row())); mark != m_marks.cend())
            return mark->why;
        return {};
    case Qt::FontRole:
        if (const auto mark = m_marks.constFind(rowAt(index.row())); mark != m_marks.cend()) {
            QFont font;
            font.setItalic(true);
            font.setStrikeOut(mark->gone);
            return font;
        }
        return {};
    default:
        return {};
    }
}

void RecordListModel::markRow(int position, const QString& why, bool gone)
{
    if (position < 0 || position >= m_rows.rowCount())
        return;
    m_marks.insert(rowAt(position), {why, gone});
    Q_EMIT dataChanged(index(position, 0), index(position, columnCount() - 1));
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (m_issued && section == printedColumn())
            return QStringLiteral("Printed");
        if (m_issued && section == printedColumn() + 1)
            return QStringLiteral("Last printed");
        return m_columns.value(section);
    }
    return section + 1;
}

std::optional<QString> RecordListModel::keyText(int position) const
{
    if (m_keyColumn < 0 || position < 0 || position >= rowCount())
        return std::nullopt;
    const std::optional<std::string_view> cell = m_rows.cell(rowAt(position), m_keyColumn);
    if (!cell)
        return std::nullopt;
    return QString::fromUtf8(cell->data(), qsizetype(cell->size()));
}

QStringList RecordListModel::takeLinkedValues(int position, const QSqlRecord& values)
{
    QStringList changed;
    if (position < 0 || position >= rowCount())
        return changed;
    const int row = rowAt(position);
    // Text columns only: numbers, dates and flags come back from the two readers formatted
    // differently, and a name is what a reused key changes.
    for (int c = 0; c < m_columns.size(); ++c) {
        if (m_kinds.value(c) != ColumnKind::Text)
            continue;
        const int at = joinedColumn(values, m_source.table + QLatin1Char('.') + m_columns[c]);
        if (at < 0)
            continue;
        const std::optional<QString> now = listText(values.value(at));
        const std::optional<QString> before =
            m_linked.value(row).contains(c) ? m_linked.value(row).value(c)
            : m_rows.isNull(row, c)         ? std::nullopt
                                            : std::optional<QString>(m_rows.text(row, c));
        if (now == before)
            continue;
        m_linked[row][c] = now;
        changed << m_columns[c];
    }
    if (!changed.isEmpty())
        Q_EMIT dataChanged(index(position, 0), index(position, columnCount() - 1));
    return changed;
}

int RecordListModel::positionOfKey(const QString& key, int first, int last) const
{
    if (m_keyColumn < 0)
        return -1;
    const QByteArray wanted = key.toUtf8();
    const std::string_view bytes(wanted.constData(), std::size_t(wanted.size()));
    last = last < 0 ? rowCount() - 1 : std::min(last, rowCount() - 1);
    for (int position = std::max(first, 0); position <= last; ++position) {
        if (m_rows.cell(rowAt(position), m_keyColumn) == bytes)
            return position;
    }
    return -1;
}

void RecordListModel::sort(int column, Qt::SortOrder order)
{
    if (column >= columnCount())
        return;
    m_sortColumn = column;
    m_sortOrder = order;
    if (m_sortCancel)
        *m_sortCancel = true;
    if (column < 0) {
        m_sortDone = ++m_sortSerial;
        applyOrder(nullptr);
        return;
    }
    startSort();
}

void RecordListModel::startSort()
{
    const int serial = ++m_sortSerial;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_sortCancel = cancel;
    // The print columns sort by what the issuance summary says of each row's person.
    const int printed = m_sortColumn - printedColumn();
    const auto issued =
        printedColumn() >= 0 && (printed == 0 || printed == 1) ? m_issued : nullptr;
    m_pool.start([this, serial, cancel, rows = m_rows, count = m_rows.rowCount(),
                  column = m_sortColumn, kind = columnKind(m_sortColumn), issued, printed,
                  key = m_keyColumn, descending = m_sortOrder == Qt::DescendingOrder] {
        const auto summaryValue = [&](int row) -> std::optional<qint64> {
            const std::optional<std::string_view> cell = rows.cell(row, key);
            if (!cell)
                return std::nullopt;
            const auto found =
                issued->constFind(QString::fromUtf8(cell->data(), qsizetype(cell->size())));
            if (found == issued->cend())
                return std::nullopt; // never printed: first, as an empty value is
            return printed == 0 ? qint64(found->count) : found->lastPrinted.toMSecsSinceEpoch();
        };
        std::optional<RowOrder> order =
            issued ? sortRowsByValue(count, summaryValue, descending, cancel.get())
                   : sortRows(rows, count, column, kind, descending, cancel.get());
        if (!order)
            return;
        auto shared = std::make_shared<const RowOrder>(std::move(*order));
        QMetaObject::invokeMethod(
            this,
            [this, serial, shared] {
                if (serial != m_sortSerial)
                    return;
                m_sortDone = serial;
                m_sortCancel.reset();
                applyOrder(shared);
            },
            Qt::QueuedConnection);
    });
}

void RecordListModel::applyOrder(std::shared_ptr<const RowOrder> order)
{
    if (m_filter.isActive()) {
        // The rows shown stay; they take the new order once filtered again.
        m_order = std::move(order);
        m_sortAwaitsFilter = true;
        m_reorderOnly = m_reorderOnly || !isFiltering();
        startFilter();
        return;
    }
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const int row = rowAt(index.row());
        after << this->index(order ? order->position(row) : row, index.column());
    }
    m_order = std::move(order);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
    Q_EMIT sortFinished();
}

void RecordListModel::find(const QString& typed, int from)
{
    cancelFind();
    m_findText = typed;
    m_findTerms = searchTerms(typed);
    if (m_findTerms.isEmpty())
        return;
    startFind(from, true);
}

void RecordListModel::cancelFind()
{
    if (m_findCancel)
        *m_findCancel = true;
    m_findCancel.reset();
    m_findPending = false;
    ++m_findSerial;
}

void RecordListModel::startFind(int from, bool wrap)
{
    const int serial = ++m_findSerial;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_findCancel = cancel;
    const int count = m_rows.rowCount();
    m_pool.start([this, serial, cancel, from, wrap, count, rows = m_rows, order = m_order,
                  shown = m_shown, terms = m_findTerms] {
        std::optional<int> position;
        if (shown) { // among the rows shown, which are positions of their own
            const int size = int(shown->size());
            for (int step = 0; step < size && !position && !cancel->load(); ++step) {
                const int at =
                    from + step < size ? from + step : (wrap ? from + step - size : size);
                if (at < size && holdsEveryTerm(rows.searchText((*shown)[std::size_t(at)]), terms))
                    position = at;
            }
        } else {
            position = findRow(rows, order.get(), terms, from, wrap, cancel.get());
        }
        if (cancel->load())
            return;
        // Handed back as a row: a sort may finish before the answer arrives.
        const int row = !position ? -1
                        : shown   ? (*shown)[std::size_t(*position)]
                        : order   ? order->row(*position)
                                  : *position;
        QMetaObject::invokeMethod(
            this,
            [this, serial, row, count] {
                if (serial != m_findSerial)
                    return;
                m_findCancel.reset();
                if (row >= 0) {
                    m_findPending = false;
                    int position = m_order ? m_order->position(row) : row;
                    if (m_shown) {
                        const auto at = std::find(m_shown->begin(), m_shown->end(), row);
                        position = at == m_shown->end() ? -1 : int(at - m_shown->begin());
                    }
                    Q_EMIT found(m_findText, position);
                    return;
                }
                m_findSearched = count;
                m_findPending = true;
                if (m_rows.rowCount() > count)
                    startFind(count, false);
                else if (!m_loading) {
                    m_findPending = false;
                    Q_EMIT found(m_findText, -1);
                }
            },
            Qt::QueuedConnection);
    });
}

void RecordListModel::showInOrder(std::shared_ptr<const std::vector<int>> shown)
{
    // The same rows sorted: the row marked and every index held move with their people.
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> positionOf(std::size_t(m_rows.rowCount()), -1);
    for (std::size_t position = 0; position < shown->size(); ++position)
        positionOf[std::size_t((*shown)[position])] = int(position);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& held : before) {
        const int position = positionOf[std::size_t(rowAt(held.row()))];
        after << (position < 0 ? QModelIndex() : index(position, held.column()));
    }
    m_shown = std::move(shown);
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RecordListModel::setRowFilter(const RowFilter& filter)
{
    m_filter = filter;
    m_reorderOnly = false;
    if (m_filterCancel)
        *m_filterCancel = true;
    if (!m_filter.isActive()) {
        m_filterDone = ++m_filterSerial;
        if (m_shown) { // every row again
            beginResetModel();
            m_shown.reset();
            endResetModel();
            Q_EMIT filterFinished();
        }
        return;
    }
    startFilter();
}

void RecordListModel::startFilter()
{
    const int serial = ++m_filterSerial;
    auto cancel = std::make_shared<std::atomic<bool>>(false);
    m_filterCancel = cancel;
    m_pool.start([this, serial, cancel, rows = m_rows, count = m_rows.rowCount(), order = m_order,
                  key = m_keyColumn, filter = m_filter] {
        auto shown = std::make_shared<std::vector<int>>();
        for (int position = 0; position < count; ++position) {
            if ((position & 0xFFF) == 0 && cancel->load())
                return;
            const int row = order ? order->row(position) : position;
            if (rowPasses(rows, row, key, filter))
                shown->push_back(row);
        }
        QMetaObject::invokeMethod(
            this,
            [this, serial, shown, count] {
                if (serial != m_filterSerial)
                    return;
                // Rows that arrived meanwhile, in table order after the rest.
                for (int row = count; row < m_rows.rowCount(); ++row) {
                    if (rowPasses(m_rows, row, m_keyColumn, m_filter))
                        shown->push_back(row);
                }
                m_filterDone = serial;
                m_filterCancel.reset();
                if (std::exchange(m_reorderOnly, false) && m_shown &&
                    m_shown->size() == shown->size()) {
                    showInOrder(shown);
                } else {
                    beginResetModel();
                    m_shown = shown;
                    endResetModel();
                }
                Q_EMIT filterFinished();
                if (std::exchange(m_sortAwaitsFilter, false))
                    Q_EMIT sortFinished();
            },
            Qt::QueuedConnection);
    });
}

void RecordListModel::setIssued(std::shared_ptr<const QHash<QString, IssueSummary>> issued)
{
    // The print columns come and go beside the others: a reset would drop the row marked.
    const int first = int(m_columns.size());
    if (issued && !m_issued) {
        beginInsertColumns({}, first, first + 1);
        m_issued = std::move(issued);
        endInsertColumns();
        return;
    }
    if (!issued && m_issued) {
        const bool sortedByPrints = m_sortColumn >= first;
        beginRemoveColumns({}, first, first + 1);
        m_issued.reset();
        endRemoveColumns();
        if (sortedByPrints)
            sort(-1);
        return;
    }
    m_issued = std::move(issued);
    if (m_issued && rowCount() > 0)
        Q_EMIT dataChanged(index(0, printedColumn()), index(rowCount() - 1, printedColumn() + 1));
    // Sorted by prints, the order follows the summary; while the columns are still being read,
    // the reading's end sorts.
    if (m_issued && !m_columns.isEmpty() && m_sortColumn >= first)
        startSort();
}

} // namespace vm
