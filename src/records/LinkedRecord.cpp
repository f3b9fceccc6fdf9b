#include "records/LinkedRecord.h"

#include "records/FieldFormatting.h"

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
