#include "widgets/CodePageBox.h"

#include <QLabel>

namespace vm {

CodePageBox::CodePageBox(QWidget* parent)
    : QComboBox(parent)
    , m_label(new QLabel(tr("Code Pa&ge of Files"), parent))
{
    setObjectName(QStringLiteral("cmbTextCodePage"));
    m_label->setObjectName(QStringLiteral("lblTextCodePage"));
    m_label->setBuddy(this);
    addItem(tr("As before: UTF-8, else Windows-1252"), QString());
    for (const TextCodePage& page : TextCodePage::choices())
        addItem(page.title(), page.name());
    setToolTip(tr("The code page the project's older files were written in; files the program "
                  "writes keep it."));
}

TextCodePage CodePageBox::codePage() const
{
    return TextCodePage::named(currentData().toString()).value_or(TextCodePage());
}

void CodePageBox::setCodePage(const TextCodePage& page)
{
    setCurrentIndex(std::max(0, findData(page.name())));
}

} // namespace vm
