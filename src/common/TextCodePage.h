#pragma once

#include "common/Status.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

namespace vm {

// The code page of a project's legacy text files (project, badge and scratch files). Files from
// other systems come in their 8-bit Windows code page; files this program writes may be UTF-8.
// A project that names none reads UTF-8 when valid and Windows-1252 otherwise, and writes UTF-8,
// as the program always did.
class TextCodePage {
public:
    TextCodePage() = default; // none chosen: the behaviour described above

    // "cp1251", "windows-1251", "1251", "UTF-8", "utf8" ...; nothing for a name not offered.
    static std::optional<TextCodePage> named(QStringView name);
    static TextCodePage utf8();
    // What the operator chooses from: UTF-8, then Windows-1250 to 1258 and 874.
    static QList<TextCodePage> choices();
    // The names --codepage takes, for its usage text and its refusal: "utf-8, cp1250, ...".
    static QString optionNames();

    bool isChosen() const { return !m_name.isEmpty(); }
    // "windows-1251" or "UTF-8", as files and options spell it; empty when none is chosen.
    const QString& name() const { return m_name; }
    // "Cyrillic (Windows-1251)", for lists and messages.
    QString title() const;

    friend bool operator==(const TextCodePage&, const TextCodePage&) = default;

private:
    explicit TextCodePage(QString name)
        : m_name(std::move(name))
    {
    }
    QString m_name;
};

// UTF-8 when valid, otherwise Windows-1252: how files are read when no code page is chosen.
QString decodeLegacyText(const QByteArray& bytes);

// The text of a file's bytes. A byte the code page does not have, or bytes that are not UTF-8
// when UTF-8 is chosen, are refused with a message naming the file, the line and the byte:
// nothing is guessed.
Result<QString> decodeText(const QByteArray& bytes, const TextCodePage& page,
                           const QString& file);

// The bytes of a file whose text was built as UTF-8 (see QuotedLines.h), in the code page. A
// character the code page cannot hold is refused with a message naming the file and the line;
// letters with accents the code page has only as a letter and a combining mark are written so.
Result<QByteArray> encodeFromUtf8(const QByteArray& utf8, const TextCodePage& page,
                                  const QString& file);

// The code page of the open project, which badge and scratch files are read and written in.
TextCodePage legacyCodePage();
void setLegacyCodePage(const TextCodePage& page);

} // namespace vm
