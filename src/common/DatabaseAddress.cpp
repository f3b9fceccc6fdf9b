#include "common/DatabaseAddress.h"

#include <QUrl>
#include <QUrlQuery>

namespace vm {

QString WithoutPassword(const QString& databasePath)
{
    if (!databasePath.contains(QLatin1String("://")))
        return databasePath;
    QUrl url(databasePath);
    if (!url.isValid()) // unreadable: nothing of it after the scheme is trusted to be harmless
        return databasePath.section(QLatin1String("://"), 0, 0) + QStringLiteral("://…");
    // An address without a password is given back as written, not as QUrl would respell it.
    bool hadPassword = !url.password().isEmpty();
    url.setPassword({});
    if (url.hasQuery()) {
        QUrlQuery query(url);
        for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded)) {
            if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0) {
                query.removeAllQueryItems(key);
                hadPassword = true;
            }
        }
        url.setQuery(query.isEmpty() ? QString() : query.query(QUrl::FullyEncoded));
    }
    return hadPassword ? url.toString() : databasePath;
}

namespace {

const QString CharsetSuffix = QStringLiteral(";charset=");

// iconv names: letters, digits and a few marks; anything else is no code page.
bool isCharsetName(QStringView name)
{
    if (name.isEmpty() || name.size() > 40)
        return false;
    for (QChar c : name) {
        if (c.unicode() > 127 || !(c.isLetterOrNumber() || QStringView(u"-_.:").contains(c)))
            return false;
    }
    return true;
}

} // namespace

bool isAccessFileName(const QString& path)
{
    return path.endsWith(QLatin1String(".mdb"), Qt::CaseInsensitive) ||
           path.endsWith(QLatin1String(".accdb"), Qt::CaseInsensitive);
}

AccessLocation splitAccessPath(const QString& databasePath)
{
    const qsizetype at = databasePath.lastIndexOf(CharsetSuffix, -1, Qt::CaseInsensitive);
    if (at > 0) {
        const QString file = databasePath.left(at);
        const QStringView name = QStringView(databasePath).mid(at + CharsetSuffix.size());
        if (isAccessFileName(file) && isCharsetName(name))
            return {file, name.toLatin1()};
    }
    return {databasePath, {}};
}

QString accessPathWithCharset(const QString& file, const QByteArray& charset)
{
    return charset.isEmpty() ? file : file + CharsetSuffix + QString::fromLatin1(charset);
}

} // namespace vm
