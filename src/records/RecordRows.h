#pragma once

#include "project/ColumnKind.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vm {

// Rows of the record list in a compact form: a million rows of ten columns take about as much
// memory as their text. A chunk is never changed once read, so worker threads sort and search
// the chunks while the window shows them.
class RecordChunk {
public:
    // A row is added cell by cell, then ended; a null value is kept apart from an empty text.
    void addCell(QStringView text);
    void addCell(std::string_view utf8);
    void addNull();
    void endRow();
    // Gives back the memory reserved for rows still to come.
    void squeeze();

    int rowCount() const { return int(m_rowStart.size()) - 1; }
    // The cell's UTF-8 text; nullopt for a null value.
    std::optional<std::string_view> cell(int row, int column) const;
    // The row's search text: its cells folded (see SearchText.h), joined by 0x1F.
    std::string_view searchText(int row) const;
    // The search text of every row of the chunk, rows ended by '\n'.
    std::string_view allSearchText() const { return m_folded; }
    // The row whose search text holds byte `offset` of allSearchText().
    int rowAtSearchOffset(std::size_t offset) const;

private:
    std::string m_cells; // per cell: length + 1 as a varint (0: null), UTF-8
    std::vector<std::uint32_t> m_rowStart{0};
    std::string m_folded;
    std::vector<std::uint32_t> m_foldedStart{0};
    bool m_rowOpen = false;
};

using RecordChunkPtr = std::shared_ptr<const RecordChunk>;

// The text the list shows for a value: numbers in their shortest exact form, dates as
// yyyy-MM-dd, binary data as a size; nullopt for null.
std::optional<QString> listText(const QVariant& value);

// The rows read so far, in table order (numbered from 0), as a list of chunks.
class RecordRows {
public:
    void append(RecordChunkPtr chunk);
    void clear();
    int rowCount() const { return m_rows; }
    bool isEmpty() const { return m_rows == 0; }

    std::optional<std::string_view> cell(int row, int column) const;
    QString text(int row, int column) const; // null: empty
    bool isNull(int row, int column) const;
    std::string_view searchText(int row) const;

    const std::vector<RecordChunkPtr>& chunks() const { return m_chunks; }
    // The chunk holding `row` and the row's number inside it.
    std::pair<const RecordChunk*, int> locate(int row) const;

private:
    std::vector<RecordChunkPtr> m_chunks;
    std::vector<int> m_firstRow; // first row of each chunk
    int m_rows = 0;
};

// An order of the rows: position -> row. Rows beyond its size keep their table order.
struct RowOrder {
    std::vector<int> rowAt;      // position -> row
    std::vector<int> positionOf; // row -> position
    int size() const { return int(rowAt.size()); }
    int row(int position) const { return position < size() ? rowAt[position] : position; }
    int position(int row) const { return row < size() ? positionOf[row] : row; }
};

// The first `count` rows sorted by one column: numbers by value where the column holds numbers,
// text without regard to case and accents; nulls first; equal cells keep table order. Stops
// early and returns nothing when `cancelled` becomes true.
std::optional<RowOrder> sortRows(const RecordRows& rows, int count, int column, ColumnKind kind,
                                 bool descending, const std::atomic<bool>* cancelled = nullptr);

// The first `count` rows sorted by a number worked out for each row; rows without one come first
// as nulls do, and equal values keep table order. Nothing when cancelled.
std::optional<RowOrder> sortRowsByValue(int count,
                                        const std::function<std::optional<qint64>(int row)>& valueOf,
                                        bool descending,
                                        const std::atomic<bool>* cancelled = nullptr);

// Whether a row's search text holds every term (see searchTerms()).
bool holdsEveryTerm(std::string_view searchText, const QList<QByteArray>& terms);

// The first position at or after `from` whose row holds every term (see searchTerms()) in its
// search text, in the given order; with `wrap`, the search goes on from the top up to `from`.
// Nullopt when no row matches or when cancelled; an empty list of terms finds nothing.
std::optional<int> findRow(const RecordRows& rows, const RowOrder* order,
                           const QList<QByteArray>& terms, int from, bool wrap = true,
                           const std::atomic<bool>* cancelled = nullptr);

} // namespace vm
