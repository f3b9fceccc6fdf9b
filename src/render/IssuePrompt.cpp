#include "render/IssuePrompt.h"

#include "widgets/Dialogs.h"

namespace vm {

namespace {

std::optional<PrintIntent> offerTestPrint(Dialogs& dialogs, QWidget* parent, const QString& why)
{
    if (dialogs.message(parent, {QStringLiteral("This print cannot be recorded as issued. Print "
                                                "it as a test print, marked as such on every "
                                                "card?"),
                                 MessageButtons::YesNo,
                                 MessageIcon::Exclamation,
                                 {},
                                 why}) != MessageAnswer::Yes)
        return std::nullopt;
    return PrintIntent{true, IssueReason::Reprint};
}

} // namespace

std::optional<PrintIntent> askPrintIntent(Dialogs& dialogs, QWidget* parent, PrintJournal* journal,
                                          bool testPrints, const QStringList& keys)
{
    if (testPrints)
        return PrintIntent{true, IssueReason::Reprint};
    if (keys.isEmpty()) // the badge as designed: nobody's
        return PrintIntent{};
    if (!journal)
        return offerTestPrint(dialogs, parent,
                              QStringLiteral("The project has not been saved yet, so it has no "
                                             "issuance record. Save the project first."));
    const Result<QHash<QString, IssueSummary>> before = journal->printedBefore(keys);
    if (!before)
        return offerTestPrint(dialogs, parent, before.error());
    if (const QString notice = journal->takeNotice(); !notice.isEmpty())
        MsgBox(dialogs, parent, notice, MessageButtons::Ok, MessageIcon::Information);
    if (before->isEmpty())
        return PrintIntent{};

    QString prompt;
    if (keys.size() == 1) {
        const IssueSummary& last = before->constBegin().value();
        prompt = QStringLiteral("The badge of \u201c%1\u201d was printed before (%2 time(s), last "
                                "on %3 UTC). Why is it printed again?")
                     .arg(keys.first())
                     .arg(last.count)
                     .arg(last.lastPrinted.toString(QStringLiteral("yyyy-MM-dd HH:mm")));
    } else {
        prompt = QStringLiteral("%1 of the %2 people were printed before. Why are their badges "
                                "printed again?")
                     .arg(before->size())
                     .arg(keys.size());
    }
    const std::optional<int> chosen =
        dialogs.chooseItem(parent, prompt,
                           {QStringLiteral("Reprint"),
                            QStringLiteral("Replacement (the old badge is lost or withdrawn)"),
                            QStringLiteral("Test print (marked as such, not recorded)")},
                           0);
    if (!chosen)
        return std::nullopt;
    if (*chosen == 2)
        return PrintIntent{true, IssueReason::Reprint};
    return PrintIntent{false, *chosen == 1 ? IssueReason::Replacement : IssueReason::Reprint};
}

void recordPrint(Dialogs& dialogs, QWidget* parent, PrintJournal* journal, const PrintJob& job)
{
    if (!journal || job.testPrint || job.badges.isEmpty())
        return;
    if (const Status recorded = journal->record(job); !recorded)
        dialogs.message(parent, {QStringLiteral("The badges were printed, but could not be "
                                                "recorded as issued."),
                                 MessageButtons::Ok,
                                 MessageIcon::Critical,
                                 {},
                                 recorded.error()});
}

} // namespace vm
