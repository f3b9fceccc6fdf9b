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
    url.setPassword({});
    if (url.hasQuery()) {
        QUrlQuery query(url);
        for (const auto& [key, value] : query.queryItems(QUrl::FullyDecoded))
            if (key.compare(QLatin1String("password"), Qt::CaseInsensitive) == 0)
                query.removeAllQueryItems(key);
        url.setQuery(query.isEmpty() ? QString() : query.query(QUrl::FullyEncoded));
    }
    return url.toString();
}

} // namespace vm
