#pragma once

#include "project/ColumnKind.h"
#include "records/IssuanceRecord.h"
#include "records/RecordRows.h"
#include "records/RecordTableReader.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSet>
#include <QSqlRecord>
#include <QStringList>
#include <QThreadPool>

#include <atomic>
#include <memory>
#include <optional>
#include <vector>

class QThread;

namespace vm {

// Where the record list comes from: every row of one table of a project database.
struct RecordListSource {
    QString databasePath;
    QString table;
    QString keyColumn; // the unique field, which identifies a row's person
};

// Which rows the list shows: those holding every search term (see searchTerms()), and, unless
// `keys` is Any, only those whose key is (Listed) or is not (NotListed) among `listed` (UTF-8).
struct RowFilter {
    QList<QByteArray> terms;
    enum class Keys { Any, Listed, NotListed } keys = Keys::Any;
    std::shared_ptr<const QSet<QByteArray>> listed;
    bool isActive() const { return !terms.isEmpty() || keys != Keys::Any; }
};

// The rows of the master table, one column per field in table order, for a list view. A worker
// thread with its own connection reads the table in one forward-only pass and hands over the
// rows in chunks, so the first rows show at once and a million rows cost little more than their
// text. Sorting and searching run on a thread pool over the rows read; the view is never held
// up. Positions (model rows) are the rows as shown; they equal table order until sorted.
class RecordListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit RecordListModel(QObject* parent = nullptr);
    // Stops the work under way: a reading is cancelled at the server, and one the server does
    // not let go of within a moment is left to end on its own.
    ~RecordListModel() override;

    // Reads the table afresh; the rows shown so far go at once. A sort order set before stays
    // and is applied again once the table has been read.
    void reload(const RecordListSource& source);
    const RecordListSource& source() const { return m_source; }
    bool isLoading() const { return m_loading; }
    // Rows the table holds by its count when the reading began; -1 while unknown.
    qint64 expectedRows() const { return m_expected; }
    // Why the last reading failed; empty when it did not.
    QString loadError() const { return m_loadError; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // Starts sorting by a column (-1: table order); the rows move when it is done. "Printed" and
    // "Last printed" sort by count and time, people never printed first as empty values are.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;
    int sortColumn() const { return m_sortColumn; }
    Qt::SortOrder sortOrder() const { return m_sortOrder; }
    bool isSorting() const { return m_sortSerial != m_sortDone; }

    QStringList columnNames() const { return m_columns; }
    ColumnKind columnKind(int column) const { return m_kinds.value(column, ColumnKind::Other); }
    int keyColumn() const { return m_keyColumn; } // -1: the table has no such column
    // The key's kind as a link compares it, read with the columns; Other until then.
    ColumnKind keyKind() const { return m_keyKind; }
    // The key as the list shows it; nullopt when the cell is null or there is no key column.
    std::optional<QString> keyText(int position) const;
    // Takes the text values of a record as linked (columns named as a joined row names them) into
    // the row at position where they differ from what was read: another station may have given
    // the key to someone else since. The names of the columns changed; empty when none was.
    QStringList takeLinkedValues(int position, const QSqlRecord& values);
    // Marks the row at position as changed (or gone) at another station since it was read, `why`
    // saying so where the row is pointed at; the mark goes when the table is read again.
    void markRow(int position, const QString& why, bool gone = false);
    bool isMarked(int position) const { return m_marks.contains(rowAt(position)); }
    // The first position in [first, last] whose key reads `key`, or -1.
    int positionOfKey(const QString& key, int first = 0, int last = -1) const;

    // Shows only the rows the filter lets through (the list narrows); positions are then the
    // rows shown. Worked out aside for a whole table; rows that arrive later are filtered as
    // they come.
    void setRowFilter(const RowFilter& filter);
    const RowFilter& rowFilter() const { return m_filter; }
    bool isFiltering() const { return m_filterSerial != m_filterDone; }
    // Rows read, whether shown or not.
    int readRows() const { return m_rows.rowCount(); }

    // Two more columns, "Printed" (how often) and "Last printed", from the issuance record's
    // summary by key, read in one statement per refresh; none: the columns are not shown.
    void setIssued(std::shared_ptr<const QHash<QString, IssueSummary>> issued);
    int printedColumn() const { return m_issued ? int(m_columns.size()) : -1; }

    // Starts looking for the first row at or after `from` (wrapping round) holding every word
    // of `typed` in any column, without regard to case and accents. Answered by found(); a
    // newer search replaces an older one. While the table is still being read, a search that
    // finds nothing yet goes on in the rows that arrive.
    void find(const QString& typed, int from = 0);
    void cancelFind();

Q_SIGNALS:
    void loadProgress(int rows, qint64 expected);
    void loadFinished(const QString& error);
    void sortFinished();
    void filterFinished();
    // position -1: no row matches (and the table has been read completely).
    void found(const QString& typed, int position);

private:
    struct LoadState;

    void startLoad();
    void onColumns(int generation, const RecordTableColumns& columns);
    void onChunk(int generation, const RecordChunkPtr& chunk);
    void onLoadFinished(int generation, const QString& error);
    void startSort();
    void applyOrder(std::shared_ptr<const RowOrder> order);
    void startFind(int from, bool wrap);
    void stopThreads();
    int rowAt(int position) const;
    void startFilter();
    void showInOrder(std::shared_ptr<const std::vector<int>> shown);

    RecordListSource m_source;
    RecordRows m_rows;
    // Cells replaced by takeLinkedValues, by table row and column, until the table is read again.
    QHash<int, QHash<int, std::optional<QString>>> m_linked;
    struct Mark {
        QString why;
        bool gone = false;
    };
    QHash<int, Mark> m_marks; // by table row, until the table is read again
    QStringList m_columns;
    QList<ColumnKind> m_kinds;
    int m_keyColumn = -1;
    ColumnKind m_keyKind = ColumnKind::Other;
    qint64 m_expected = -1;
    bool m_loading = false;
    QString m_loadError;
    int m_generation = 0;
    std::shared_ptr<LoadState> m_load;
    struct Loader {
        QThread* thread;
        std::shared_ptr<LoadState> state;
    };
    std::vector<Loader> m_loaders;

    int m_sortColumn = -1;
    Qt::SortOrder m_sortOrder = Qt::AscendingOrder;
    std::shared_ptr<const RowOrder> m_order;
    int m_sortSerial = 0;
    int m_sortDone = 0;
    std::shared_ptr<std::atomic<bool>> m_sortCancel;

    QString m_findText;
    QList<QByteArray> m_findTerms;
    int m_findSerial = 0;
    bool m_findPending = false; // nothing found yet; rows still to come are searched too
    int m_findSearched = 0;     // rows searched by the pending search
    std::shared_ptr<std::atomic<bool>> m_findCancel;

    RowFilter m_filter;
    std::shared_ptr<const std::vector<int>> m_shown; // position -> row, while filtering
    int m_filterSerial = 0;
    int m_filterDone = 0;
    bool m_sortAwaitsFilter = false; // sorted while filtering: done once filtered in the order
    bool m_reorderOnly = false;      // the pass under way only puts the same rows in a new order
    std::shared_ptr<std::atomic<bool>> m_filterCancel;
    std::shared_ptr<const QHash<QString, IssueSummary>> m_issued;

    QThreadPool m_pool;
};

} // namespace vm
