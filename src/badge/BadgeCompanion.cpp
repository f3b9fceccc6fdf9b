#include "badge/BadgeCompanion.h"

#include "common/FileNames.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <type_traits>

namespace vm {
namespace {

const QString Format = QStringLiteral("vellumark-badge");
constexpr int Version = 1;

// --- The properties of each element kind: the one list to extend ----------------------------
// f(key in the file, the property in the operator's words, the member). Each member type has a
// toJson/fromJson pair below; its default value is not written.
template <class E, class F> void propertiesOf(E& element, F&& f)
{
    using T = std::remove_const_t<E>;
    if constexpr (std::is_same_v<T, Comment> || std::is_same_v<T, Field>) {
        f("rotation", "rotation", element.rotation);
        f("fit", "fitting", element.fit);
    }
    if constexpr (std::is_same_v<T, Field>) {
        f("barcode", "barcode", element.barcode);
        f("format", "format", element.format);
    }
    if constexpr (std::is_same_v<T, Logo>)
        f("rotation", "rotation", element.rotation);
}

// fromJson: empty when the value was taken, else why not.
QJsonValue toJson(const Rotation& rotation)
{
    return rotation.degrees;
}

QString fromJson(const QJsonValue& value, Rotation& rotation)
{
    const std::optional<qint16> degrees = rightAngle(value.toInt(-1));
    if (!value.isDouble() || !degrees)
        return QStringLiteral("not a right angle");
    rotation.degrees = *degrees;
    return {};
}

QJsonValue toJson(const std::optional<Barcode>& barcode)
{
    return QJsonObject{
        {QStringLiteral("symbology"), symbologyInfo(barcode->symbology).key},
        {QStringLiteral("humanReadable"), barcode->humanReadable},
        {QStringLiteral("quietZone"), barcode->quietZone},
        {QStringLiteral("errorCorrection"), barcode->errorCorrection},
        {QStringLiteral("moduleTwips"), double(barcode->moduleTwips)},
    };
}

QString fromJson(const QJsonValue& value, std::optional<Barcode>& barcode)
{
    const QJsonObject o = value.toObject();
    const QString key = o.value(QStringLiteral("symbology")).toString();
    const std::optional<Symbology> symbology = symbologyForKey(key);
    if (!symbology)
        return QStringLiteral("unknown symbology \"%1\"").arg(key);
    Barcode read;
    read.symbology = *symbology;
    read.humanReadable = o.value(QStringLiteral("humanReadable")).toBool(true);
    read.quietZone = o.value(QStringLiteral("quietZone")).toBool(true);
    const int level = o.value(QStringLiteral("errorCorrection")).toInt(0);
    if (level < 0 || level > symbologyInfo(*symbology).maxErrorCorrection)
        return QStringLiteral("error correction level %1 out of range").arg(level);
    read.errorCorrection = qint16(level);
    const double module = o.value(QStringLiteral("moduleTwips")).toDouble(0);
    if (!(module == 0 || (module >= SmallestModuleTwips && module <= LargestTwips)))
        return QStringLiteral("module size %1 twips out of range").arg(module);
    read.moduleTwips = float(module);
    barcode = read;
    return {};
}

// Fitting and format read what they know and hold numbers within range (TextFit.h).
QString fromJson(const QJsonValue& value, TextFit& fit)
{
    if (!value.isObject())
        return QStringLiteral("not a fitting");
    fit = textFitFromJson(value.toObject());
    return {};
}

QString fromJson(const QJsonValue& value, FieldFormat& format)
{
    if (!value.isObject())
        return QStringLiteral("not a format");
    format = fieldFormatFromJson(value.toObject());
    return {};
}

// --- Element keys and check values ------------------------------------------------------------

struct KindName {
    ElementKind kind;
    const char* key;
    const char* words;
};
constexpr KindName KindNames[] = {
    {ElementKind::Comment, "comment", "comment"}, {ElementKind::Field, "field", "field"},
    {ElementKind::Logo, "logo", "logo"},          {ElementKind::Shape, "shape", "shape"},
    {ElementKind::Photo, "photo", "photograph"},  {ElementKind::Sign, "sign", "signature"},
};

const KindName& kindName(ElementKind kind)
{
    for (const KindName& name : KindNames) {
        if (name.kind == kind)
            return name;
    }
    return KindNames[0];
}

std::optional<ElementKind> kindForKey(const QString& key)
{
    for (const KindName& name : KindNames) {
        if (key == QLatin1String(name.key))
            return name.kind;
    }
    return std::nullopt;
}

QString checkValue(const Comment& text)
{
    return text.Caption; // a field's is its reference
}
QString checkValue(const Logo& logo)
{
    return QFileInfo(logo.Tag).fileName();
}
QString checkValue(const Shape& shape)
{
    return QString::number(shape.ShpType);
}
QString checkValue(const PictureFrame&)
{
    return {};
}

QString checkValueOf(const BadgeSide& side, ElementRef ref)
{
    return side.visit(ref, [](const auto& e) { return checkValue(e); });
}

QJsonObject keyOf(const BadgeSide& side, ElementRef ref)
{
    return {{QStringLiteral("kind"), QLatin1String(kindName(ref.kind).key)},
            {QStringLiteral("index"), ref.index},
            {QStringLiteral("check"), checkValueOf(side, ref)}};
}

// The element an entry names, when it is there and still the one the entry was written for.
std::optional<ElementRef> matching(const BadgeSide& side, const QJsonObject& entry)
{
    const std::optional<ElementKind> kind =
        kindForKey(entry.value(QStringLiteral("kind")).toString());
    const ElementRef ref{kind.value_or(ElementKind::Comment),
                         entry.value(QStringLiteral("index")).toInt(-1)};
    const bool frame = ref.kind == ElementKind::Photo || ref.kind == ElementKind::Sign;
    if (!kind || (frame ? ref.index != 0 : ref.index <= 0) || !side.contains(ref) ||
        checkValueOf(side, ref) != entry.value(QStringLiteral("check")).toString())
        return std::nullopt;
    return ref;
}

// "field 2 "<Employee.Name>" on the back"
QString described(const QJsonObject& entry, const char* sideWords)
{
    const std::optional<ElementKind> kind =
        kindForKey(entry.value(QStringLiteral("kind")).toString());
    QString text = kind ? QLatin1String(kindName(*kind).words)
                        : entry.value(QStringLiteral("kind")).toString();
    if (kind != ElementKind::Photo && kind != ElementKind::Sign)
        text += QLatin1Char(' ') + QString::number(entry.value(QStringLiteral("index")).toInt());
    const QString check = entry.value(QStringLiteral("check")).toString();
    if (!check.isEmpty() && kind != ElementKind::Shape)
        text += QStringLiteral(" \"%1\"").arg(check);
    return text + QStringLiteral(" on the ") + QLatin1String(sideWords);
}

QJsonObject sideDocument(const BadgeSide& side)
{
    QJsonObject document;
    QJsonArray elements;
    const QList<ElementRef> order = side.stackingOrder();
    for (const ElementRef& ref : order) {
        QJsonObject entry;
        side.visit(ref, [&](const auto& element) {
            propertiesOf(element, [&](const char* key, const char*, const auto& value) {
                if (!(value == std::remove_cvref_t<decltype(value)>{}))
                    entry.insert(QLatin1String(key), toJson(value));
            });
        });
        if (entry.isEmpty())
            continue;
        const QJsonObject key = keyOf(side, ref);
        for (auto it = key.begin(); it != key.end(); ++it)
            entry.insert(it.key(), it.value());
        elements << entry;
    }
    if (!elements.isEmpty())
        document.insert(QStringLiteral("elements"), elements);
    if (!side.hasLoadOrder()) {
        QJsonArray stack;
        for (const ElementRef& ref : order)
            stack << keyOf(side, ref);
        document.insert(QStringLiteral("order"), stack);
    }
    return document;
}

void applySide(const QJsonObject& document, BadgeSide& side, const char* sideWords,
               QStringList& lost)
{
    for (const QJsonValue& value : document.value(QStringLiteral("elements")).toArray()) {
        const QJsonObject entry = value.toObject();
        const std::optional<ElementRef> ref = matching(side, entry);
        QStringList dropped;
        if (!ref) {
            // Every property the entry names, in words, as far as this version knows them.
            for (const QString& key : entry.keys()) {
                if (key != QLatin1String("kind") && key != QLatin1String("index") &&
                    key != QLatin1String("check"))
                    dropped << key;
            }
            lost << QStringLiteral("%1 lost its %2: the element is not the one they were saved "
                                   "for, the badge file was changed since")
                        .arg(described(entry, sideWords), dropped.join(QStringLiteral(", ")));
            continue;
        }
        side.visit(*ref, [&](auto& element) {
            propertiesOf(element, [&](const char* key, const char* words, auto& member) {
                const QJsonValue stored = entry.value(QLatin1String(key));
                if (stored.isUndefined())
                    return;
                if (const QString why = fromJson(stored, member); !why.isEmpty())
                    dropped << QStringLiteral("%1 (%2)").arg(QLatin1String(words), why);
            });
        });
        if (!dropped.isEmpty())
            lost << QStringLiteral("%1 lost its %2")
                        .arg(described(entry, sideWords), dropped.join(QStringLiteral(", ")));
    }

    if (!document.contains(QStringLiteral("order")))
        return;
    QList<ElementRef> order;
    for (const QJsonValue& value : document.value(QStringLiteral("order")).toArray()) {
        const QJsonObject entry = value.toObject();
        if (const std::optional<ElementRef> ref = matching(side, entry))
            order << *ref;
        else
            lost << QStringLiteral("%1 lost its place in the stacking order: the badge file was "
                                   "changed since it was saved")
                        .arg(described(entry, sideWords));
    }
    side.setStackingOrder(order);
}

} // namespace

QString badgeCompanionPath(const QString& badgePath)
{
    return resolveFileName(badgePath + QStringLiteral(".json"));
}

std::optional<QByteArray> companionDocument(const BadgeSide& front, const BadgeSide& back,
                                            bool blankBack)
{
    const QJsonObject frontDocument = sideDocument(front);
    const QJsonObject backDocument = blankBack ? QJsonObject() : sideDocument(back);
    if (frontDocument.isEmpty() && backDocument.isEmpty())
        return std::nullopt;
    QJsonObject document{{QStringLiteral("format"), Format},
                         {QStringLiteral("version"), Version}};
    if (!frontDocument.isEmpty())
        document.insert(QStringLiteral("front"), frontDocument);
    if (!backDocument.isEmpty())
        document.insert(QStringLiteral("back"), backDocument);
    return QJsonDocument(document).toJson();
}

Result<QStringList> applyCompanion(const QByteArray& document, BadgeSide& front, BadgeSide& back)
{
    QJsonParseError error;
    const QJsonDocument parsed = QJsonDocument::fromJson(document, &error);
    const QJsonObject object = parsed.object();
    if (error.error != QJsonParseError::NoError || !parsed.isObject() ||
        object.value(QStringLiteral("format")).toString() != Format)
        return Status::failure(
            error.error != QJsonParseError::NoError
                ? QStringLiteral("it is not a badge companion file (%1 at byte %2)")
                      .arg(error.errorString())
                      .arg(error.offset)
                : QStringLiteral("it is not a badge companion file"));
    if (object.value(QStringLiteral("version")).toInt() > Version)
        return Status::failure(
            QStringLiteral("it was written by a newer version of the program, which this one "
                           "cannot read"));
    QStringList lost;
    applySide(object.value(QStringLiteral("front")).toObject(), front, "front", lost);
    applySide(object.value(QStringLiteral("back")).toObject(), back, "back", lost);
    return lost;
}

} // namespace vm
