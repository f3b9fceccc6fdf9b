#include "records/RecordRows.h"

#include "records/SearchText.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <algorithm>
#include <charconv>
#include <cstring>

namespace vm {
namespace {

constexpr char CellSeparator = '\x1f';
// What a search looks through of one value: a name or a number is found in full, and a megabyte
// of notes beside it does not slow every keystroke's search.
constexpr qsizetype SearchedPerValue = 4096;

QStringView searchedPart(QStringView text)
{
    if (text.size() <= SearchedPerValue)
        return text;
    qsizetype end = SearchedPerValue;
    if (text[end - 1].isHighSurrogate())
        --end;
    return text.first(end);
}

std::string_view searchedPart(std::string_view utf8)
{
    if (utf8.size() <= std::size_t(SearchedPerValue))
        return utf8;
    std::size_t end = std::size_t(SearchedPerValue);
    while (end > 0 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80)
        --end; // not inside a character
    return utf8.substr(0, end);
}

void appendUtf8(std::string& out, QStringView text)
{
    const char16_t* s = text.utf16();
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c < 0x80) {
            out += char(c);
            continue;
        }
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(s[i + 1]))
            c = QChar::surrogateToUcs4(char16_t(c), s[++i]);
        else if (QChar::isSurrogate(c))
            c = 0xFFFD;
        vm::appendUtf8(out, c);
    }
}

void appendVarint(std::string& out, std::uint64_t value)
{
    while (value >= 0x80) {
        out += char(0x80 | (value & 0x7F));
        value >>= 7;
    }
    out += char(value);
}

std::uint64_t readVarint(const char*& p)
{
    std::uint64_t value = 0;
    int shift = 0;
    while (true) {
        const auto byte = static_cast<unsigned char>(*p++);
        value |= std::uint64_t(byte & 0x7F) << shift;
        if (!(byte & 0x80))
            return value;
        shift += 7;
    }
}

// Column `column` of a row's search text.
std::string_view searchCell(std::string_view row, int column)
{
    std::size_t start = 0;
    for (int c = 0; c < column; ++c) {
        const std::size_t next = row.find(CellSeparator, start);
        if (next == std::string_view::npos)
            return {};
        start = next + 1;
    }
    const std::size_t end = row.find(CellSeparator, start);
    return row.substr(start, end == std::string_view::npos ? row.size() - start : end - start);
}

bool holds(std::string_view text, const QByteArray& term)
{
    return ::memmem(text.data(), text.size(), term.constData(), std::size_t(term.size())) !=
           nullptr;
}

bool holdsAll(std::string_view text, const QList<QByteArray>& terms)
{
    return std::all_of(terms.begin(), terms.end(),
                       [&](const QByteArray& term) { return holds(text, term); });
}

bool isCancelled(const std::atomic<bool>* cancelled)
{
    return cancelled && cancelled->load(std::memory_order_relaxed);
}

// In table order a whole chunk is searched at once for the longest term; only rows holding it
// are checked for the others. Rows [first, end) of the list.
std::optional<int> findInTableOrder(const RecordRows& rows, const QList<QByteArray>& terms,
                                    int first, int end, const std::atomic<bool>* cancelled)
{
    const QByteArray& longest =
        *std::max_element(terms.begin(), terms.end(), [](const QByteArray& a, const QByteArray& b) {
            return a.size() < b.size();
        });
    int row = first;
    while (row < end) {
        if (isCancelled(cancelled))
            return std::nullopt;
        const auto [chunk, local] = rows.locate(row);
        const int chunkFirst = row - local;
        const int chunkEnd = std::min(end, chunkFirst + chunk->rowCount());
        const std::string_view all = chunk->allSearchText();
        std::size_t offset = std::size_t(chunk->searchText(local).data() - all.data());
        const std::size_t stop =
            chunkEnd - chunkFirst < chunk->rowCount()
                ? std::size_t(chunk->searchText(chunkEnd - chunkFirst).data() - all.data())
                : all.size();
        while (offset < stop) {
            const void* hit = ::memmem(all.data() + offset, stop - offset, longest.constData(),
                                       std::size_t(longest.size()));
            if (!hit)
                break;
            const std::size_t at = std::size_t(static_cast<const char*>(hit) - all.data());
            const int found = chunk->rowAtSearchOffset(at);
            const std::string_view text = chunk->searchText(found);
            if (holdsAll(text, terms))
                return chunkFirst + found;
            offset = std::size_t(text.data() + text.size() - all.data());
        }
        row = chunkEnd;
    }
    return std::nullopt;
}

std::optional<int> findInOrder(const RecordRows& rows, const RowOrder& order,
                               const QList<QByteArray>& terms, int first, int end,
                               const std::atomic<bool>* cancelled)
{
    for (int position = first; position < end; ++position) {
        if ((position & 0xFFF) == 0 && isCancelled(cancelled))
            return std::nullopt;
        if (holdsAll(rows.searchText(order.row(position)), terms))
            return position;
    }
    return std::nullopt;
}

} // namespace

void RecordChunk::addCell(QStringView text)
{
    // The length goes first; a cell seldom needs more than one byte for it.
    const std::size_t lengthAt = m_cells.size();
    m_cells += '\0';
    appendUtf8(m_cells, text);
    const std::size_t length = m_cells.size() - lengthAt - 1;
    if (length + 1 < 0x80) {
        m_cells[lengthAt] = char(length + 1);
    } else {
        std::string prefix;
        appendVarint(prefix, length + 1);
        m_cells.replace(lengthAt, 1, prefix);
    }
    if (m_rowOpen)
        m_folded += CellSeparator;
    appendSearchText(m_folded, searchedPart(text));
    m_rowOpen = true;
}

void RecordChunk::addCell(std::string_view utf8)
{
    appendVarint(m_cells, utf8.size() + 1);
    m_cells.append(utf8);
    if (m_rowOpen)
        m_folded += CellSeparator;
    appendSearchText(m_folded, searchedPart(utf8));
    m_rowOpen = true;
}

void RecordChunk::addNull()
{
    m_cells += '\0';
    if (m_rowOpen)
        m_folded += CellSeparator;
    m_rowOpen = true;
}

void RecordChunk::endRow()
{
    m_folded += '\n';
    m_rowStart.push_back(std::uint32_t(m_cells.size()));
    m_foldedStart.push_back(std::uint32_t(m_folded.size()));
    m_rowOpen = false;
}

void RecordChunk::squeeze()
{
    m_cells.shrink_to_fit();
    m_rowStart.shrink_to_fit();
    m_folded.shrink_to_fit();
    m_foldedStart.shrink_to_fit();
}

std::optional<std::string_view> RecordChunk::cell(int row, int column) const
{
    const char* p = m_cells.data() + m_rowStart[std::size_t(row)];
    const char* end = m_cells.data() + m_rowStart[std::size_t(row) + 1];
    for (int c = 0; p < end; ++c) {
        const std::uint64_t length = readVarint(p);
        const std::size_t size = length == 0 ? 0 : std::size_t(length - 1);
        if (c == column)
            return length == 0 ? std::nullopt : std::optional(std::string_view(p, size));
        p += size;
    }
    return std::nullopt;
}

std::string_view RecordChunk::searchText(int row) const
{
    const std::uint32_t start = m_foldedStart[std::size_t(row)];
    const std::uint32_t end = m_foldedStart[std::size_t(row) + 1] - 1; // without its '\n'
    return std::string_view(m_folded).substr(start, end - start);
}

int RecordChunk::rowAtSearchOffset(std::size_t offset) const
{
    const auto after =
        std::upper_bound(m_foldedStart.begin(), m_foldedStart.end(), std::uint32_t(offset));
    return int(after - m_foldedStart.begin()) - 1;
}

std::optional<QString> listText(const QVariant& value)
{
    if (value.isNull())
        return std::nullopt;
    switch (value.typeId()) {
    case QMetaType::QDate:
        return value.toDate().toString(Qt::ISODate);
    case QMetaType::QTime:
        return value.toTime().toString(QStringLiteral("HH:mm:ss"));
    case QMetaType::QDateTime: {
        const QDateTime time = value.toDateTime();
        return time.toString(time.time().msec() ? QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")
                                                : QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    }
    case QMetaType::QByteArray:
        return QStringLiteral("(%1 bytes of binary data)").arg(value.toByteArray().size());
    default:
        return value.toString();
    }
}

void RecordRows::append(RecordChunkPtr chunk)
{
    if (!chunk || chunk->rowCount() == 0)
        return;
    m_firstRow.push_back(m_rows);
    m_rows += chunk->rowCount();
    m_chunks.push_back(std::move(chunk));
}

void RecordRows::clear()
{
    m_chunks.clear();
    m_firstRow.clear();
    m_rows = 0;
}

std::pair<const RecordChunk*, int> RecordRows::locate(int row) const
{
    const auto after = std::upper_bound(m_firstRow.begin(), m_firstRow.end(), row);
    const std::size_t index = std::size_t(after - m_firstRow.begin()) - 1;
    return {m_chunks[index].get(), row - m_firstRow[index]};
}

std::optional<std::string_view> RecordRows::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows || column < 0)
        return std::nullopt;
    const auto [chunk, local] = locate(row);
    return chunk->cell(local, column);
}

QString RecordRows::text(int row, int column) const
{
    const std::optional<std::string_view> bytes = cell(row, column);
    return bytes ? QString::fromUtf8(bytes->data(), qsizetype(bytes->size())) : QString();
}

bool RecordRows::isNull(int row, int column) const
{
    return !cell(row, column).has_value();
}

std::string_view RecordRows::searchText(int row) const
{
    const auto [chunk, local] = locate(row);
    return chunk->searchText(local);
}

namespace {

// Rows [0, count) in the order `less` gives the items `itemOf(row)` makes of them; ties keep
// table order. Nothing when cancelled.
template <class ItemOf, class Less>
std::optional<RowOrder> orderOf(int count, ItemOf itemOf, Less less, bool descending,
                                const std::atomic<bool>* cancelled)
{
    using Item = decltype(itemOf(0));
    std::vector<std::pair<Item, int>> items;
    items.reserve(std::size_t(std::max(count, 0)));
    for (int row = 0; row < count; ++row) {
        if ((row & 0xFFF) == 0 && isCancelled(cancelled))
            return std::nullopt;
        items.emplace_back(itemOf(row), row);
    }
    std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
        return descending ? less(b.first, a.first) : less(a.first, b.first);
    });
    if (isCancelled(cancelled))
        return std::nullopt;
    RowOrder order;
    order.rowAt.reserve(items.size());
    order.positionOf.resize(items.size());
    for (const auto& item : items) {
        order.positionOf[std::size_t(item.second)] = int(order.rowAt.size());
        order.rowAt.push_back(item.second);
    }
    return order;
}

} // namespace

std::optional<RowOrder> sortRows(const RecordRows& rows, int count, int column, ColumnKind kind,
                                 bool descending, const std::atomic<bool>* cancelled)
{
    count = std::min(count, rows.rowCount());
    if (kind == ColumnKind::Numeric) {
        // Nulls, then numbers by value, then anything the column holds that is no number.
        struct Item {
            int rank = 0;
            double number = 0;
            std::string_view text;
        };
        const auto itemOf = [&](int row) {
            Item item;
            if (const std::optional<std::string_view> cell = rows.cell(row, column)) {
                const char* end = cell->data() + cell->size();
                const auto parsed = std::from_chars(cell->data(), end, item.number);
                item.rank = parsed.ec == std::errc() && parsed.ptr == end ? 1 : 2;
                if (item.rank == 2)
                    item.text = searchCell(rows.searchText(row), column);
            }
            return item;
        };
        return orderOf(
            count, itemOf,
            [](const Item& a, const Item& b) {
                if (a.rank != b.rank)
                    return a.rank < b.rank;
                return a.rank == 1 ? a.number < b.number : a.text < b.text;
            },
            descending, cancelled);
    }
    // Case and accents first ignored, then counted, so "Muller" and "Müller" stand together.
    struct Item {
        bool isNull;
        std::string_view folded;
        std::string_view exact;
    };
    const auto itemOf = [&](int row) {
        const std::optional<std::string_view> cell = rows.cell(row, column);
        return Item{!cell, searchCell(rows.searchText(row), column),
                    cell.value_or(std::string_view())};
    };
    return orderOf(
        count, itemOf,
        [](const Item& a, const Item& b) {
            if (a.isNull != b.isNull)
                return a.isNull;
            if (const int order = a.folded.compare(b.folded); order != 0)
                return order < 0;
            return a.exact < b.exact;
        },
        descending, cancelled);
}

std::optional<RowOrder> sortRowsByValue(int count,
                                        const std::function<std::optional<qint64>(int)>& valueOf,
                                        bool descending, const std::atomic<bool>* cancelled)
{
    return orderOf(
        count, valueOf,
        [](const std::optional<qint64>& a, const std::optional<qint64>& b) { return a < b; },
        descending, cancelled);
}

std::optional<int> findRow(const RecordRows& rows, const RowOrder* order,
                           const QList<QByteArray>& terms, int from, bool wrap,
                           const std::atomic<bool>* cancelled)
{
    const int count = rows.rowCount();
    if (terms.isEmpty() || count == 0 || (from >= count && !wrap))
        return std::nullopt;
    from = from >= count ? 0 : std::max(from, 0);
    auto search = [&](int first, int end) {
        if (order && order->size() > 0)
            return findInOrder(rows, *order, terms, first, end, cancelled);
        return findInTableOrder(rows, terms, first, end, cancelled);
    };
    if (const std::optional<int> found = search(from, count); found || !wrap)
        return found;
    return search(0, from);
}

bool holdsEveryTerm(std::string_view searchText, const QList<QByteArray>& terms)
{
    return holdsAll(searchText, terms);
}

} // namespace vm
