#pragma once

#include "project/Database.h"
#include "project/ProjectSettings.h"

#include <QImage>
#include <QSize>
#include <QSqlRecord>
#include <QString>

#include <optional>

namespace vm {

struct BadgeSide;

// Loads a picture file. A missing name.jpg is looked for as name.jpeg, a missing name.jpeg as
// name.bmp (each also without regard to letter case); when nothing loads the picture is cleared.
// `path` ends as the last name tried. True only when the first attempt loaded. A non-empty
// `decodeSize` lets large photographs decode at a smaller size (at least that large), which
// batch printing uses to stay fast.
bool OpenImage(QImage& picture, QString& path, QSize decodeSize = {});

// Names the columns of a joined row as the old provider did: a column name that occurs in more
// than one of the joined tables is called Table.Column; the others keep their own name.
// `tables` are the joined tables in select-list order with their column counts.
QSqlRecord qualifyJoinedColumns(const QSqlRecord& row, const QList<QPair<QString, int>>& tables);

// The fill step: each field takes the record's value (a null shows as one blank); a field whose
// column the record does not have keeps its caption.
void fillFieldCaptions(BadgeSide& side, const QSqlRecord& record);

// Puts the record's pictures into the photo and signature frames; a null picture leaves its
// frame empty, without the placeholder.
void placePictures(BadgeSide& side, const QImage& photo, const QImage& sign);

// Links one record of the master table to both sides of a badge, the same way for the rendering
// windows and for batch printing.
class RecordLinker {
public:
    RecordLinker(DatabaseConnection& database, const StoredSettings& project);

    enum class Outcome {
        Linked,   // fields filled; pictures placed or cleared
        Rejected, // the engine refused a statement: "Error in data linking"
        Ended,    // stopped silently (no such record, no picture row, ...): the rest kept
    };
    struct Result {
        Outcome outcome = Outcome::Ended;
        QString error;      // the engine's text when rejected or failed
        QImage photo, sign; // the pictures loaded for the record (previews)
        QString photoPath, signPath;
    };

    // `keyValue` is the unique field's value as the record list shows it.
    Result link(const QString& keyValue, BadgeSide& front, BadgeSide& back);

    // Batch printing decodes photographs only as large as they print.
    void setPictureDecodeSize(QSize photo, QSize sign);

    ColumnKind keyKind();

private:
    QList<QPair<QString, int>> joinedTables();
    QString pictureColumnValue(const QSqlRecord& record, const QString& field, bool* missing) const;

    DatabaseConnection& m_db;
    const StoredSettings& m_project;
    std::optional<ColumnKind> m_keyKind;
    std::optional<QList<QPair<QString, int>>> m_joined;
    QSize m_photoDecode, m_signDecode;
};

} // namespace vm
