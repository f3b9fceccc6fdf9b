#include "common/SettingsFile.h"

#include <QFileDevice>
#include <QRegularExpression>
#include <QStringList>

namespace vm {
namespace {

bool plainKeyChar(QChar c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || (c >= u'0' && c <= u'9') ||
           c == u'_' || c == u'-' || c == u'.';
}

// As Qt writes keys: %XX, or %UXXXX beyond Latin-1; '/' within a section as '\'.
QString escapedKey(const QString& key)
{
    QString out;
    for (QChar c : key) {
        if (c == u'/')
            out += QLatin1Char('\\');
        else if (plainKeyChar(c))
            out += c;
        else if (c.unicode() < 0x100)
            out += QStringLiteral("%%1").arg(c.unicode(), 2, 16, QLatin1Char('0')).toUpper();
        else
            out += QStringLiteral("%U%1").arg(c.unicode(), 4, 16, QLatin1Char('0')).toUpper();
    }
    return out;
}

QString unescapedKey(QStringView key)
{
    QString out;
    for (qsizetype i = 0; i < key.size(); ++i) {
        const QChar c = key[i];
        bool ok = false;
        if (c == u'\\') {
            out += QLatin1Char('/');
        } else if (c == u'%' && i + 5 < key.size() && key[i + 1] == u'U') {
            const ushort code = key.sliced(i + 2, 4).toUShort(&ok, 16);
            out += ok ? QChar(code) : c;
            i += ok ? 5 : 0;
        } else if (c == u'%' && i + 2 < key.size()) {
            const ushort code = key.sliced(i + 1, 2).toUShort(&ok, 16);
            out += ok ? QChar(code) : c;
            i += ok ? 2 : 0;
        } else {
            out += c;
        }
    }
    return out;
}

QString escapedValue(const QString& value)
{
    const bool quote = value != value.trimmed() ||
                       value.contains(QRegularExpression(QStringLiteral("[,;=\"\\\\\\n\\r\\t]")));
    if (!quote)
        return value;
    QString out = QStringLiteral("\"");
    for (QChar c : value) {
        if (c == u'"' || c == u'\\')
            out += QLatin1Char('\\') + QString(c);
        else if (c == u'\n')
            out += QStringLiteral("\\n");
        else if (c == u'\r')
            out += QStringLiteral("\\r");
        else if (c == u'\t')
            out += QStringLiteral("\\t");
        else
            out += c;
    }
    return out + QLatin1Char('"');
}

QString unescapedValue(QStringView value)
{
    if (value.size() < 2 || !value.startsWith(u'"') || !value.endsWith(u'"'))
        return value.toString();
    QString out;
    const QStringView inner = value.sliced(1, value.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        QChar c = inner[i];
        if (c == u'\\' && i + 1 < inner.size()) {
            c = inner[++i];
            c = c == u'n' ? QChar(u'\n') : c == u'r' ? QChar(u'\r') : c == u't' ? QChar(u'\t') : c;
        }
        out += c;
    }
    return out;
}

bool readSettings(QIODevice& device, QSettings::SettingsMap& map)
{
    QString section;
    const QStringList lines = QString::fromUtf8(device.readAll()).split(QLatin1Char('\n'));
    for (const QString& raw : lines) {
        const QStringView line = QStringView(raw).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (line.startsWith(u'[') && line.endsWith(u']')) {
            section = unescapedKey(line.sliced(1, line.size() - 2));
            if (section.compare(QLatin1String("General"), Qt::CaseInsensitive) == 0)
                section.clear();
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0)
            continue;
        const QString key = unescapedKey(line.first(equals).trimmed());
        map.insert(section.isEmpty() ? key : section + QLatin1Char('/') + key,
                   unescapedValue(line.sliced(equals + 1).trimmed()));
    }
    return true;
}

bool writeSettings(QIODevice& device, const QSettings::SettingsMap& map)
{
    QString text;
    QString section = QStringLiteral("\n"); // none yet
    for (auto it = map.cbegin(); it != map.cend(); ++it) {
        const qsizetype slash = it.key().indexOf(QLatin1Char('/'));
        const QString group = slash < 0 ? QStringLiteral("General") : it.key().first(slash);
        if (group != section) {
            if (!text.isEmpty())
                text += QLatin1Char('\n');
            text += QLatin1Char('[') + escapedKey(group) + QStringLiteral("]\n");
            section = group;
        }
        text += escapedKey(slash < 0 ? it.key() : it.key().sliced(slash + 1)) +
                QLatin1Char('=') + escapedValue(it.value().toString()) + QLatin1Char('\n');
    }
    const QByteArray bytes = text.toUtf8();
    if (device.write(bytes) != bytes.size())
        return false;
    // The save file keeps the last bytes in its buffer; their failure must be seen here.
    auto* file = qobject_cast<QFileDevice*>(&device);
    return !file || file->flush();
}

} // namespace

QSettings::Format checkedSettingsFormat()
{
    static const QSettings::Format format =
        QSettings::registerFormat(QStringLiteral("conf"), readSettings, writeSettings);
    return format;
}

} // namespace vm
