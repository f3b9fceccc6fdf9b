#include "project/AccessQueries.h"

#include "project/AccessImport.h"
#include "project/SqlText.h"

#include <QDate>
#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlError>
#include <QSqlQuery>
#include <QTime>

#include <optional>

namespace vm {
namespace {

// What a row of MSysQueries describes, by its Attribute.
enum Attribute {
    Kind = 1,
    Parameter = 2,
    Options = 3,
    OtherDatabase = 4,
    Source = 5,
    Column = 6,
    Join = 7,
    Where = 8,
    GroupBy = 9,
    Having = 10,
    OrderBy = 11,
    End = 255
};

// Bits of the options row.
constexpr int AllColumns = 0x01;
constexpr int Distinct = 0x02;
constexpr int DistinctRow = 0x08;
constexpr int Top = 0x10;
constexpr int Percent = 0x20;

constexpr int SelectQuery = 1;

Status refused(const QString& why)
{
    return Status::failure(why);
}

struct Token {
    enum Kind { Name, Quoted, Text, Date, Number, Symbol };
    Kind kind = Symbol;
    QString text;
};

bool isNameStart(QChar c)
{
    return c.isLetter() || c == u'_';
}

bool isNamePart(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

Result<QList<Token>> tokenize(const QString& s)
{
    QList<Token> tokens;
    const qsizetype n = s.size();
    qsizetype i = 0;
    while (i < n) {
        const QChar c = s[i];
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Token t;
        if (c == u'[') {
            const qsizetype end = s.indexOf(u']', i + 1);
            if (end < 0)
                return refused(QStringLiteral("holds a name whose bracket is not closed"));
            t.kind = Token::Quoted;
            t.text = s.mid(i + 1, end - i - 1);
            i = end + 1;
        } else if (c == u'"' || c == u'\'') {
            qsizetype j = i + 1;
            bool closed = false;
            while (j < n) {
                if (s[j] == c) {
                    if (j + 1 < n && s[j + 1] == c) {
                        t.text += c;
                        j += 2;
                        continue;
                    }
                    closed = true;
                    ++j;
                    break;
                }
                t.text += s[j++];
            }
            if (!closed)
                return refused(QStringLiteral("holds a text whose quote is not closed"));
            t.kind = Token::Text;
            i = j;
        } else if (c == u'#') {
            const qsizetype end = s.indexOf(u'#', i + 1);
            if (end < 0)
                return refused(QStringLiteral("holds a date whose # is not closed"));
            t.kind = Token::Date;
            t.text = s.mid(i + 1, end - i - 1);
            i = end + 1;
        } else if (c.isDigit() || (c == u'.' && i + 1 < n && s[i + 1].isDigit() &&
                                   (tokens.isEmpty() || tokens.last().kind == Token::Symbol))) {
            qsizetype j = i;
            while (j < n && (s[j].isDigit() || s[j] == u'.'))
                ++j;
            if (j < n && (s[j] == u'e' || s[j] == u'E')) {
                qsizetype k = j + 1;
                if (k < n && (s[k] == u'+' || s[k] == u'-'))
                    ++k;
                if (k < n && s[k].isDigit()) {
                    j = k;
                    while (j < n && s[j].isDigit())
                        ++j;
                }
            }
            t.kind = Token::Number;
            t.text = s.mid(i, j - i);
            i = j;
        } else if (isNameStart(c)) {
            qsizetype j = i + 1;
            while (j < n && isNamePart(s[j]))
                ++j;
            t.kind = Token::Name;
            t.text = s.mid(i, j - i);
            i = j;
        } else {
            t.kind = Token::Symbol;
            const QString two = s.mid(i, 2);
            t.text = two == u"<>" || two == u"<=" || two == u">=" ? two : QString(c);
            i += t.text.size();
        }
        tokens << t;
    }
    return tokens;
}

// A date as Access writes it between # signs (month first), as the copy keeps dates.
std::optional<QString> dateLiteral(const QString& text)
{
    static const QRegularExpression us(
        QStringLiteral("^\\s*(\\d{1,2})/(\\d{1,2})/(\\d{4}|\\d{2})(?:\\s+(.+))?$"));
    static const QRegularExpression iso(
        QStringLiteral("^\\s*(\\d{4})-(\\d{1,2})-(\\d{1,2})(?:\\s+(.+))?$"));
    int year = 0;
    int month = 0;
    int day = 0;
    QString time;
    if (const QRegularExpressionMatch m = us.match(text); m.hasMatch()) {
        month = m.captured(1).toInt();
        day = m.captured(2).toInt();
        year = m.captured(3).toInt();
        if (m.captured(3).size() == 2) // Access reads 00-29 as 2000-2029, 30-99 as 1930-1999
            year += year < 30 ? 2000 : 1900;
        time = m.captured(4).trimmed();
    } else if (const QRegularExpressionMatch m = iso.match(text); m.hasMatch()) {
        year = m.captured(1).toInt();
        month = m.captured(2).toInt();
        day = m.captured(3).toInt();
        time = m.captured(4).trimmed();
    } else {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    QTime clock(0, 0);
    if (!time.isEmpty()) {
        for (const char* format : {"h:mm:ss AP", "h:mm AP", "H:mm:ss", "H:mm"}) {
            clock = QTime::fromString(time.toUpper(), QString::fromLatin1(format));
            if (clock.isValid())
                break;
        }
    }
    if (!date.isValid() || !clock.isValid())
        return std::nullopt;
    return u'\'' + date.toString(QStringLiteral("yyyy-MM-dd")) + u' ' +
           clock.toString(QStringLiteral("HH:mm:ss")) + u'\'';
}

QString textLiteral(QString value)
{
    return u'\'' + value.replace(u'\'', QStringLiteral("''")) + u'\'';
}

// Access functions SQLite computes the same way: the opening written for "Name(" and the closing
// written for its ")".
struct FunctionForm {
    const char* open;
    const char* close;
};

const QHash<QString, FunctionForm>& functions()
{
    static const QHash<QString, FunctionForm> map = {
        {QStringLiteral("sum"), {"sum(", ")"}},
        {QStringLiteral("avg"), {"avg(", ")"}},
        {QStringLiteral("count"), {"count(", ")"}},
        {QStringLiteral("min"), {"min(", ")"}},
        {QStringLiteral("max"), {"max(", ")"}},
        {QStringLiteral("abs"), {"abs(", ")"}},
        {QStringLiteral("ucase"), {"upper(", ")"}},
        {QStringLiteral("lcase"), {"lower(", ")"}},
        {QStringLiteral("len"), {"length(", ")"}},
        {QStringLiteral("trim"), {"trim(", ")"}},
        {QStringLiteral("ltrim"), {"ltrim(", ")"}},
        {QStringLiteral("rtrim"), {"rtrim(", ")"}},
        {QStringLiteral("isnull"), {"((", ") IS NULL)"}},
        // Currency keeps four decimals.
        {QStringLiteral("ccur"), {"round(", ", 4)"}},
    };
    return map;
}

bool isAggregate(const QString& function)
{
    static const QSet<QString> names = {QStringLiteral("sum"), QStringLiteral("avg"),
                                        QStringLiteral("count"), QStringLiteral("min"),
                                        QStringLiteral("max")};
    return names.contains(function);
}

// Words written unchanged. A comparison word starts a comparison; a joining word ends one.
const QSet<QString>& keywords()
{
    static const QSet<QString> words = {
        QStringLiteral("and"),    QStringLiteral("or"),    QStringLiteral("not"),
        QStringLiteral("is"),     QStringLiteral("null"),  QStringLiteral("between"),
        QStringLiteral("in"),     QStringLiteral("as"),    QStringLiteral("select"),
        QStringLiteral("from"),   QStringLiteral("where"), QStringLiteral("distinct"),
        QStringLiteral("group"),  QStringLiteral("by"),    QStringLiteral("having"),
        QStringLiteral("order"),  QStringLiteral("asc"),   QStringLiteral("desc"),
        QStringLiteral("exists"), QStringLiteral("all"),   QStringLiteral("any"),
        QStringLiteral("some"),   QStringLiteral("inner"), QStringLiteral("left"),
        QStringLiteral("right"),  QStringLiteral("outer"), QStringLiteral("join"),
        QStringLiteral("on")};
    return words;
}

bool isComparison(const Token& t)
{
    if (t.kind == Token::Symbol)
        return t.text == u"=" || t.text == u"<>" || t.text == u"<" || t.text == u">" ||
               t.text == u"<=" || t.text == u">=";
    if (t.kind != Token::Name)
        return false;
    const QString word = t.text.toLower();
    return word == u"is" || word == u"in" || word == u"between" || word == u"like";
}

// One expression of a query in SQLite's words, with what it refers to.
struct Expression {
    QString sql;
    QStringList qualifiers;  // X of X.column and X.*
    QStringList bareColumns; // columns named without their table
    bool aggregate = false;
    bool subquery = false;
    QString column;    // a lone column reference: its name ("*" for X.*)
    QString qualifier; // and its table, when named
};

Result<Expression> translateExpression(const QString& text)
{
    const Result<QList<Token>> tokenized = tokenize(text);
    if (!tokenized)
        return tokenized.status();
    const QList<Token>& t = *tokenized;
    Expression out;
    QStringList parts;
    QStringList closings;           // what each open parenthesis is closed with
    QList<bool> compared = {false}; // a comparison seen at this depth since the last AND/OR
    auto next = [&](qsizetype i) -> const Token* {
        return i + 1 < t.size() ? &t[i + 1] : nullptr;
    };
    auto isSymbol = [](const Token* token, QStringView symbol) {
        return token && token->kind == Token::Symbol && token->text == symbol;
    };

    for (qsizetype i = 0; i < t.size(); ++i) {
        const Token& token = t[i];
        const bool afterDot = i > 0 && isSymbol(&t[i - 1], u".");
        if (isComparison(token)) {
            // SQLite ranks < and > above = and <>, Access ranks them alike: only parenthesised
            // chains mean the same in both.
            if (compared.last())
                return refused(QStringLiteral("compares twice without parentheses"));
            compared.last() = true;
        }
        switch (token.kind) {
        case Token::Quoted:
        case Token::Name: {
            const QString word = token.text.toLower();
            if (token.kind == Token::Name && !afterDot && isSymbol(next(i), u"(") &&
                !keywords().contains(word)) {
                const auto form = functions().constFind(word);
                if (form == functions().cend())
                    return refused(QStringLiteral("uses the function %1, which has no exact "
                                                  "counterpart here")
                                       .arg(token.text));
                out.aggregate = out.aggregate || isAggregate(word);
                parts << QString::fromLatin1(form->open);
                closings << QString::fromLatin1(form->close);
                compared << false;
                ++i; // the "(" is written with the function
                break;
            }
            if (token.kind == Token::Name && !afterDot && !isSymbol(next(i), u".")) {
                if (word == u"yes" || word == u"true") { // the copy keeps booleans as 1 and 0
                    parts << QStringLiteral("1");
                    break;
                }
                if (word == u"no" || word == u"false") {
                    parts << QStringLiteral("0");
                    break;
                }
                if (word == u"like") {
                    const Token* pattern = next(i);
                    if (!pattern || pattern->kind != Token::Text)
                        return refused(QStringLiteral("uses Like with a pattern that is no text"));
                    static const QRegularExpression foreign(QStringLiteral("[%_\\[#]"));
                    if (pattern->text.contains(foreign))
                        return refused(QStringLiteral("uses a Like pattern with [, # or a "
                                                      "character SQLite reads as a wildcard"));
                    QString sqlPattern = pattern->text;
                    sqlPattern.replace(u'*', u'%').replace(u'?', u'_');
                    parts << QStringLiteral("LIKE") << textLiteral(sqlPattern);
                    ++i;
                    break;
                }
                if (keywords().contains(word)) {
                    if (word == u"and" || word == u"or" || word == u"not" || word == u"select" ||
                        word == u"where" || word == u"having" || word == u"on")
                        compared.last() = false;
                    out.subquery = out.subquery || word == u"select";
                    parts << token.text.toUpper();
                    break;
                }
                if (word == u"mod" || word == u"xor" || word == u"eqv" || word == u"imp")
                    return refused(QStringLiteral("uses the operator %1").arg(token.text));
                if (word == u"top" || word == u"distinctrow" || word == u"union" ||
                    word == u"transform" || word == u"pivot" || word == u"parameters")
                    return refused(
                        QStringLiteral("uses %1 inside an expression").arg(token.text.toUpper()));
            }
            parts << doubleQuotedName(token.text);
            if (isSymbol(next(i), u"."))
                out.qualifiers << token.text;
            else if (!afterDot)
                out.bareColumns << token.text;
            break;
        }
        case Token::Text:
            parts << textLiteral(token.text);
            break;
        case Token::Date: {
            const std::optional<QString> date = dateLiteral(token.text);
            if (!date)
                return refused(
                    QStringLiteral("holds the date #%1#, which cannot be read").arg(token.text));
            parts << *date;
            break;
        }
        case Token::Number:
            parts << token.text;
            break;
        case Token::Symbol: {
            const QString& s = token.text;
            if (s == u"(") {
                parts << s;
                closings << QStringLiteral(")");
                compared << false;
            } else if (s == u")") {
                if (closings.isEmpty())
                    return refused(QStringLiteral("closes a parenthesis it never opened"));
                parts << closings.takeLast();
                compared.removeLast();
            } else if (s == u"/") {
                parts << QStringLiteral("* 1.0 /"); // Access divides integers exactly
            } else if (s == u"&") {
                return refused(QStringLiteral("joins texts with &"));
            } else if (s == u"+") {
                // Access adds numbers but joins texts with +; which it does depends on values.
                return refused(QStringLiteral("uses +, which Access also uses to join texts"));
            } else if (s == u"!") {
                return refused(QStringLiteral("refers to a form or a control with !"));
            } else if (s == u",") {
                compared.last() = false;
                parts << s;
            } else if (s == u"=" || s == u"<>" || s == u"<" || s == u">" || s == u"<=" ||
                       s == u">=" || s == u"-" || s == u"*" || s == u".") {
                parts << s;
            } else {
                return refused(QStringLiteral("uses the operator %1").arg(s));
            }
            break;
        }
        }
    }
    if (!closings.isEmpty())
        return refused(QStringLiteral("leaves a parenthesis open"));

    // Names stay joined to their dots; everything else is separated by one blank.
    for (qsizetype i = 0; i < parts.size(); ++i) {
        if (i > 0 && parts[i] != u"." && parts[i - 1] != u".")
            out.sql += u' ';
        out.sql += parts[i];
    }

    auto named = [](const Token& token) {
        return token.kind == Token::Name || token.kind == Token::Quoted;
    };
    if (t.size() == 1 && named(t[0])) {
        out.column = t[0].text;
    } else if (t.size() == 3 && named(t[0]) && t[1].kind == Token::Symbol && t[1].text == u"." &&
               (named(t[2]) || (t[2].kind == Token::Symbol && t[2].text == u"*"))) {
        out.qualifier = t[0].text;
        out.column = t[2].text;
    }
    return out;
}

QString queryKindProblem(int kind)
{
    switch (kind) {
    case 2:
    case 3:
    case 4:
    case 5:
        return QStringLiteral("changes data instead of listing rows");
    case 6:
        return QStringLiteral("is a crosstab query");
    case 9:
        return QStringLiteral("is a union query");
    default:
        return QStringLiteral("is not a select query");
    }
}

struct QuerySource {
    QString name;
    QString alias;
    QString key() const { return alias.isEmpty() ? name : alias; }
    QString sql() const
    {
        return alias.isEmpty()
                   ? doubleQuotedName(name)
                   : doubleQuotedName(name) + QStringLiteral(" AS ") + doubleQuotedName(alias);
    }
};

} // namespace

Result<TranslatedQuery> translateAccessQuery(const QList<AccessQueryRow>& rows,
                                             const ColumnProbe& hasColumn)
{
    int kind = -1;
    int options = 0;
    QString top;
    QStringList parameters;
    QList<QuerySource> sources;
    QList<AccessQueryRow> columns;
    QList<AccessQueryRow> joins;
    QList<AccessQueryRow> orders;
    QStringList groups;
    QString where;
    QString having;
    bool inlineSource = false;
    for (const AccessQueryRow& row : rows) {
        switch (row.attribute) {
        case 0:
        case End:
            break;
        case Kind:
            kind = row.flag;
            break;
        case Parameter:
            parameters << row.name1;
            break;
        case Options:
            options = row.flag;
            top = row.name1;
            break;
        case OtherDatabase:
            return refused(QStringLiteral("reads from another database"));
        case Source:
            sources << QuerySource{row.name1, row.name2};
            inlineSource = inlineSource || !row.expression.trimmed().isEmpty();
            break;
        case Column:
            columns << row;
            break;
        case Join:
            joins << row;
            break;
        case Where:
            where = row.expression;
            break;
        case GroupBy:
            groups << row.expression;
            break;
        case Having:
            having = row.expression;
            break;
        case OrderBy:
            orders << row;
            break;
        default:
            return refused(
                QStringLiteral("holds a part of kind %1, unknown here").arg(row.attribute));
        }
    }
    if (kind != SelectQuery)
        return refused(queryKindProblem(kind));
    if (!parameters.isEmpty())
        return refused(QStringLiteral("asks for values when it runs (%1)")
                           .arg(parameters.join(QStringLiteral(", "))));
    if (sources.isEmpty())
        return refused(QStringLiteral("reads no table"));
    if (inlineSource)
        return refused(QStringLiteral("reads from a query written inside it"));
    if (options & Percent)
        return refused(QStringLiteral("keeps a percentage of its rows (TOP PERCENT)"));
    if ((options & Top) && !orders.isEmpty())
        // Access keeps the rows that tie with the last one as well.
        return refused(
            QStringLiteral("keeps only its first %1 rows (TOP), ties included").arg(top));

    TranslatedQuery query;
    QHash<QString, qsizetype> sourceAt;
    for (qsizetype i = 0; i < sources.size(); ++i) {
        sourceAt.insert(sources[i].key().toLower(), i);
        query.sources << sources[i].name;
    }

    // Columns. Unnamed ones get the names Access gives them.
    QStringList outputs;
    if (options & AllColumns)
        outputs << QStringLiteral("*");
    QList<Expression> expressions;
    QHash<QString, int> plainNames;
    bool aggregate = false;
    for (const AccessQueryRow& row : columns) {
        Result<Expression> e = translateExpression(row.expression);
        if (!e)
            return e.status();
        aggregate = aggregate || e->aggregate;
        if (row.name1.isEmpty() && !e->column.isEmpty() && e->column != u"*")
            ++plainNames[e->column.toLower()];
        expressions << *e;
    }
    int unnamed = 1000;
    for (qsizetype i = 0; i < columns.size(); ++i) {
        const Expression& e = expressions[i];
        const QString& alias = columns[i].name1;
        if (!alias.isEmpty())
            outputs << e.sql + QStringLiteral(" AS ") + doubleQuotedName(alias);
        else if (e.column == u"*")
            outputs << e.sql;
        else if (!e.column.isEmpty() && plainNames.value(e.column.toLower()) < 2)
            outputs << e.sql;
        else if (!e.column.isEmpty() && !e.qualifier.isEmpty())
            outputs << e.sql + QStringLiteral(" AS ") +
                           doubleQuotedName(e.qualifier + u'.' + e.column);
        else
            outputs << e.sql + QStringLiteral(" AS ") +
                           doubleQuotedName(QStringLiteral("Expr%1").arg(unnamed++));
    }
    if (outputs.isEmpty())
        return refused(QStringLiteral("lists no column"));

    // Joins, in the order Access keeps them, each attached to what is joined already.
    QString from;
    QStringList extraConditions;
    QSet<qsizetype> placed;
    for (const AccessQueryRow& join : joins) {
        const qsizetype left = sourceAt.value(join.name1.toLower(), -1);
        const qsizetype right = sourceAt.value(join.name2.toLower(), -1);
        if (left < 0 || right < 0)
            return refused(QStringLiteral("joins a table it does not list"));
        if (join.flag < 1 || join.flag > 3)
            return refused(QStringLiteral("uses a join of kind %1, unknown here").arg(join.flag));
        const Result<Expression> on = translateExpression(join.expression);
        if (!on)
            return on.status();
        static const char* const words[] = {"", " INNER JOIN ", " LEFT JOIN ", " RIGHT JOIN "};
        static const char* const flipped[] = {"", " INNER JOIN ", " RIGHT JOIN ", " LEFT JOIN "};
        const bool hasLeft = placed.contains(left);
        const bool hasRight = placed.contains(right);
        if (hasLeft && hasRight) {
            if (join.flag != 1)
                return refused(QStringLiteral("joins two tables twice with an outer join"));
            extraConditions << u'(' + on->sql + u')';
            continue;
        }
        if (!hasLeft && !hasRight) {
            if (!from.isEmpty())
                from += QStringLiteral(", ");
            from +=
                sources[left].sql() + QString::fromLatin1(words[join.flag]) + sources[right].sql();
        } else if (hasLeft) {
            from += QString::fromLatin1(words[join.flag]) + sources[right].sql();
        } else {
            from += QString::fromLatin1(flipped[join.flag]) + sources[left].sql();
        }
        from += QStringLiteral(" ON ") + on->sql;
        placed << left << right;
    }
    for (qsizetype i = 0; i < sources.size(); ++i) {
        if (placed.contains(i))
            continue;
        if (!from.isEmpty())
            from += QStringLiteral(", ");
        from += sources[i].sql();
    }

    // DISTINCTROW keeps one row per combination of records of the tables whose columns are
    // listed; it changes nothing when every table is listed or rows are grouped anyway.
    QStringList rowGroups;
    if ((options & DistinctRow) && !(options & (Distinct | AllColumns)) && groups.isEmpty() &&
        !aggregate && sources.size() > 1) {
        QSet<qsizetype> listed;
        for (const Expression& e : expressions) {
            if (e.subquery)
                return refused(QStringLiteral("lists a subquery and uses DISTINCTROW"));
            for (const QString& qualifier : e.qualifiers)
                listed << sourceAt.value(qualifier.toLower(), -1);
            for (const QString& column : e.bareColumns) {
                qsizetype owner = -1;
                for (qsizetype i = 0; i < sources.size(); ++i) {
                    if (hasColumn && hasColumn(sources[i].name, column)) {
                        if (owner >= 0)
                            return refused(QStringLiteral("lists the column %1, which more than "
                                                          "one of its tables has")
                                               .arg(column));
                        owner = i;
                    }
                }
                if (owner < 0)
                    return refused(QStringLiteral("lists the column %1 of a table it does "
                                                  "not name, and uses DISTINCTROW")
                                       .arg(column));
                listed << owner;
            }
        }
        listed.remove(-1);
        if (listed.size() < sources.size()) {
            for (qsizetype i = 0; i < sources.size(); ++i) {
                if (!listed.contains(i))
                    continue;
                // Views have no rowid; hasColumn answers for tables only.
                if (!hasColumn || !hasColumn(sources[i].name, QStringLiteral("rowid")))
                    return refused(QStringLiteral("keeps one row per record of “%1” "
                                                  "(DISTINCTROW), which is no table")
                                       .arg(sources[i].name));
                rowGroups << doubleQuotedName(sources[i].key()) + QStringLiteral(".rowid");
            }
        }
    }

    QString sql = QStringLiteral("SELECT ");
    if (options & Distinct)
        sql += QStringLiteral("DISTINCT ");
    sql += outputs.join(QStringLiteral(", ")) + QStringLiteral(" FROM ") + from;

    QStringList conditions;
    if (!where.trimmed().isEmpty()) {
        const Result<Expression> e = translateExpression(where);
        if (!e)
            return e.status();
        conditions << u'(' + e->sql + u')';
    }
    conditions << extraConditions;
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));

    QStringList grouping;
    for (const QString& group : groups) {
        const Result<Expression> e = translateExpression(group);
        if (!e)
            return e.status();
        grouping << e->sql;
    }
    grouping << rowGroups;
    if (!grouping.isEmpty())
        sql += QStringLiteral(" GROUP BY ") + grouping.join(QStringLiteral(", "));
    if (!having.trimmed().isEmpty()) {
        const Result<Expression> e = translateExpression(having);
        if (!e)
            return e.status();
        sql += QStringLiteral(" HAVING ") + e->sql;
    }
    QStringList ordering;
    for (const AccessQueryRow& order : orders) {
        const Result<Expression> e = translateExpression(order.expression);
        if (!e)
            return e.status();
        ordering << e->sql + (order.name1.compare(u"D", Qt::CaseInsensitive) == 0
                                  ? QStringLiteral(" DESC")
                                  : QString());
    }
    if (!ordering.isEmpty())
        sql += QStringLiteral(" ORDER BY ") + ordering.join(QStringLiteral(", "));
    if (options & Top) {
        bool ok = false;
        const int count = top.toInt(&ok);
        if (!ok || count < 0)
            return refused(
                QStringLiteral("keeps a number of rows that cannot be read (TOP %1)").arg(top));
        sql += QStringLiteral(" LIMIT %1").arg(count);
    }
    query.sql = sql;
    return query;
}

namespace {

// The kinds the legacy provider reported for the columns a view passes on unchanged.
ColumnKind viewColumnKind(const QString& declaredType)
{
    const QString type = declaredType.toUpper();
    if (type.startsWith(QLatin1String("VARCHAR")))
        return ColumnKind::Text;
    if (type == u"SMALLINT" || type == u"INTEGER" || type == u"DOUBLE" ||
        type.startsWith(QLatin1String("DECIMAL")))
        return ColumnKind::Numeric;
    return ColumnKind::Other;
}

QString unreadable(const QString& name, const QString& why)
{
    return QStringLiteral("\u201c%1\u201d is a query of the Access file that cannot be read "
                          "here: it %2.")
        .arg(name, why);
}

} // namespace

void createQueryViews(QSqlDatabase& target, const QStringList& queries, AccessCopy* copy)
{
    if (queries.isEmpty())
        return;
    QSqlQuery read(target);
    read.setForwardOnly(true);
    QHash<qint64, QString> names; // object id -> lower-case query name
    QHash<QString, QList<AccessQueryRow>> definitions;
    const bool readable =
        read.exec(QStringLiteral("SELECT Id, Name FROM MSysObjects WHERE Type = 5")) && [&] {
            while (read.next())
                names.insert(read.value(0).toLongLong(), read.value(1).toString().toLower());
            return read.exec(QStringLiteral("SELECT ObjectId, Attribute, Flag, Name1, Name2, "
                                            "Expression FROM MSysQueries "
                                            "ORDER BY ObjectId, Attribute, \"Order\""));
        }();
    if (readable) {
        while (read.next()) {
            const QString name = names.value(read.value(0).toLongLong());
            if (!name.isEmpty())
                definitions[name] << AccessQueryRow{
                    read.value(1).toInt(), read.value(2).toInt(), read.value(3).toString(),
                    read.value(4).toString(), read.value(5).toString()};
        }
    }
    read.finish();

    const QSet<QString> tables(copy->columnKinds.keyBegin(), copy->columnKinds.keyEnd());
    const ColumnProbe hasColumn = [copy, &tables](const QString& source, const QString& column) {
        const QString table = source.toLower();
        if (!tables.contains(table))
            return false;
        return column == u"rowid" || copy->columnKinds.value(table).contains(column.toLower());
    };

    QList<std::pair<QString, QString>> pending; // name, statement
    for (const QString& name : queries) {
        const auto definition = definitions.constFind(name.toLower());
        if (definition == definitions.cend()) {
            copy->notCopied.insert(name.toLower(),
                                   unreadable(name, QStringLiteral("keeps no definition")));
            continue;
        }
        const Result<TranslatedQuery> translated = translateAccessQuery(*definition, hasColumn);
        if (!translated)
            copy->notCopied.insert(name.toLower(), unreadable(name, translated.error()));
        else
            pending.append({name, translated->sql});
    }

    // A query may read another: whatever waits for one made later is tried again.
    QHash<QString, QString> errors;
    for (bool progress = true; progress && !pending.isEmpty();) {
        progress = false;
        for (qsizetype i = 0; i < pending.size();) {
            const auto& [name, sql] = pending[i];
            const QString view = doubleQuotedName(name);
            QSqlQuery make(target);
            if (make.exec(QStringLiteral("CREATE VIEW %1 AS %2").arg(view, sql)) &&
                make.exec(QStringLiteral("SELECT * FROM %1 LIMIT 0").arg(view))) {
                make.finish();
                auto& kinds = copy->columnKinds[name.toLower()];
                if (make.exec(QStringLiteral("PRAGMA table_info(%1)").arg(view))) {
                    while (make.next())
                        kinds.insert(make.value(1).toString().toLower(),
                                     viewColumnKind(make.value(2).toString()));
                }
                copy->notCopied.remove(name.toLower());
                pending.removeAt(i);
                progress = true;
                continue;
            }
            errors.insert(name, make.lastError().databaseText());
            make.finish();
            make.exec(QStringLiteral("DROP VIEW IF EXISTS %1").arg(view));
            ++i;
        }
    }
    static const QString noSuchTable = QStringLiteral("no such table: ");
    for (const auto& [name, sql] : pending) {
        const QString error = errors.value(name);
        const QString missing =
            error.startsWith(noSuchTable) ? error.mid(noSuchTable.size()) : QString();
        const QString why = !missing.isEmpty() && copy->notCopied.contains(missing.toLower())
                                ? QStringLiteral("reads \u201c%1\u201d, which cannot be read "
                                                 "either")
                                      .arg(missing)
                                : QStringLiteral("is refused by SQLite (%1)").arg(error);
        copy->notCopied.insert(name.toLower(), unreadable(name, why));
    }
}

} // namespace vm
