#include "widgets/CommonDialog.h"

#include "common/FileNames.h"

#include <QStringList>

namespace vm {

QString qtFileFilter(const QString& commonDialogFilter)
{
    const QStringList parts = commonDialogFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1].trimmed();
        patterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString description = parts[i].trimmed();
        // "Badge file (*.Lyt)|*.Lyt" names its patterns already.
        if (description.endsWith(QLatin1Char('(') + patterns + QLatin1Char(')')))
            filters << description;
        else
            filters << QStringLiteral("%1 (%2)").arg(description, patterns);
    }
    return filters.join(QStringLiteral(";;"));
}

void CommonDialog::ShowOpen()
{
    finish(m_dialogs.openFileName(m_owner, {DialogTitle, qtFileFilter(Filter), InitDir, FileName}));
}

void CommonDialog::ShowSave()
{
    finish(m_dialogs.saveFileName(m_owner, {DialogTitle, qtFileFilter(Filter), InitDir, FileName}));
}

void CommonDialog::finish(const QString& chosen)
{
    FileName = chosen;
    FileTitle = fileTitle(chosen);
}

bool CommonDialog::ShowColor()
{
    const QRgb initial = qRgb(Color & 0xFF, (Color >> 8) & 0xFF, (Color >> 16) & 0xFF);
    const std::optional<QRgb> chosen = m_dialogs.color(m_owner, initial);
    if (!chosen)
        return false;
    Color = quint32(qRed(*chosen)) | quint32(qGreen(*chosen)) << 8 | quint32(qBlue(*chosen)) << 16;
    return true;
}

bool CommonDialog::ShowPrinter(QPrinter* printer)
{
    return m_dialogs.printerSetup(m_owner, printer);
}

} // namespace vm
