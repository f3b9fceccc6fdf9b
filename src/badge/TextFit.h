#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vm {

// How a comment or field puts its text into its frame. AsDesigned is the old behaviour: the
// text sizes itself and ignores the frame; every other mode keeps the frame and fits the text.
enum class FitMode { AsDesigned, Wrap, Shrink, WrapAndShrink };
// Start is the side a line begins on: the left, or the right for right-to-left text.
enum class HorizontalAlign { Start, Left, Centre, Right };
enum class VerticalAlign { Top, Middle, Bottom };

struct TextFit {
    FitMode mode = FitMode::AsDesigned;
    float minimumSize = 6; // points: shrinking stops here
    int maximumLines = 0;  // 0: as many as the frame holds
    bool ellipsis = true;  // text that does not fit even so ends in "…" instead of being cut
    HorizontalAlign horizontal = HorizontalAlign::Start;
    VerticalAlign vertical = VerticalAlign::Top;

    bool fitsFrame() const { return mode != FitMode::AsDesigned; }
    bool wraps() const { return mode == FitMode::Wrap || mode == FitMode::WrapAndShrink; }
    bool shrinks() const { return mode == FitMode::Shrink || mode == FitMode::WrapAndShrink; }

    friend bool operator==(const TextFit&, const TextFit&) = default;
};

enum class LetterCase { AsStored, Upper, Lower };

// When a field is left off its badge: a comparison of one of the record's columns with a value.
enum class ConditionTest {
    None,
    Equal,
    NotEqual,
    Less,
    Greater,
    LessOrEqual,
    GreaterOrEqual,
    Empty,
    NotEmpty
};

struct HideCondition {
    ConditionTest test = ConditionTest::None;
    QString column; // "Table.Column" or the column's name alone
    QString value;  // unused by Empty and NotEmpty

    bool isSet() const { return test != ConditionTest::None; }
    friend bool operator==(const HideCondition&, const HideCondition&) = default;
};

// How a field shows its column's value. Defaults show the value as stored.
struct FieldFormat {
    QString dateFormat; // a QDate/QDateTime format such as dd.MM.yyyy; empty: as stored
    int decimals = -1;  // -1: as stored
    bool thousands = false;
    LetterCase letterCase = LetterCase::AsStored;
    QString prefix, suffix; // left off with an empty value
    HideCondition hideWhen;

    bool isPlain() const { return *this == FieldFormat(); }
    friend bool operator==(const FieldFormat&, const FieldFormat&) = default;
};

// The tests' symbols as typed and shown: "=", "<>", "<", ">", "<=", ">=", "is empty",
// "is not empty"; "" for None.
QString conditionSymbol(ConditionTest test);
// ConditionTest::None for a text that is none of them.
ConditionTest conditionTest(const QString& symbol);
// "Visitor = 1", "Expiry is empty"; empty when unset.
QString conditionText(const HideCondition& condition);

// As a badge's companion file keeps them: only what differs from the defaults, names for the
// choices. Reading takes what it knows, holds numbers within their ranges and leaves the rest at
// the defaults, so a damaged or newer entry never gives an element values it cannot have.
QJsonObject toJson(const TextFit& fit);
QJsonObject toJson(const FieldFormat& format);
TextFit textFitFromJson(const QJsonObject& json);
FieldFormat fieldFormatFromJson(const QJsonObject& json);

// Date formats offered to the operator; any other QDate/QDateTime format may be typed.
QStringList commonDateFormats();

} // namespace vm
