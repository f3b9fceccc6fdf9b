#include "records/LinkedRecord.h"

#include "records/FieldFormatting.h"

#include <QRegularExpression>
#include <QVariant>

namespace vm {
namespace {

void placePictures(BadgeSide& side, const QImage& photo, const QImage& sign)
{
    side.imgPhoto.Picture = photo;
    side.imgSign.Picture = sign;
    side.imgPhoto.ShowPlaceholder = false;
    side.imgSign.ShowPlaceholder = false;
}

// A barcode's value: each reference "<Table.Column>" the record has replaced by its value (a null
// by nothing); one it lacks stays, so the code is refused rather than printed wrong.
QString withValues(const QString& text, const QSqlRecord& values)
{
    static const QRegularExpression reference(QStringLiteral("<([^<>]+)>"));
    QString filled;
    qsizetype from = 0;
    for (const QRegularExpressionMatch& m : reference.globalMatch(text)) {
        filled += QStringView(text).mid(from, m.capturedStart() - from);
        const int column = joinedColumn(values, m.captured(1));
        filled += column < 0 ? m.captured(0) : values.value(column).toString();
        from = m.capturedEnd();
    }
    filled += QStringView(text).mid(from);
    return filled;
}

} // namespace

int joinedColumn(const QSqlRecord& row, const QString& column)
{
    const int whole = row.indexOf(column);
    if (whole >= 0)
        return whole;
    const qsizetype dot = column.indexOf(QLatin1Char('.'));
    return dot < 0 ? -1 : row.indexOf(column.mid(dot + 1));
}

BadgeSide filledSide(const BadgeSide& layout, const LinkedRecord& record)
{
    BadgeSide side = layout;
    for (auto& [index, field] : side.lblField) {
        if (field.barcode) {
            field.Caption = withValues(field.Caption, record.values);
            continue;
        }
        const int column = joinedColumn(record.values, field.Tag);
        if (column < 0)
            continue;
        const QVariant value = record.values.value(column);
        if (field.format.isPlain()) {
            field.Caption = value.isNull() ? QStringLiteral(" ") : value.toString();
            continue;
        }
        const QString shown = formattedValue(value, field.format);
        field.Caption = shown.isEmpty() ? QStringLiteral(" ") : shown;
        if (evaluate(field.format.hideWhen, record.values) == ConditionOutcome::Holds)
            field.Visible = false;
    }
    placePictures(side, record.photo, record.sign);
    return side;
}

BadgeSide emptiedSide(const BadgeSide& layout)
{
    BadgeSide side = layout;
    for (auto& [index, field] : side.lblField)
        field.Caption.clear();
    placePictures(side, {}, {});
    return side;
}

} // namespace vm
