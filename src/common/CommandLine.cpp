#include "common/CommandLine.h"

#include <QCommandLineParser>
#include <QFile>

#include <cstdio>
#include <cstring>

namespace vm {

std::optional<int> answerHelpOrVersion(int argc, const char* const* argv, const char* program,
                                       const char* usage)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0)
            break; // what follows is a file name, whatever it looks like
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(usage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("%s %s\n", program, VELLUMARK_VERSION);
            return 0;
        }
    }
    return std::nullopt;
}

Result<TextCodePage> codePageNamed(const QString& name)
{
    if (const std::optional<TextCodePage> page = TextCodePage::named(name))
        return *page;
    return Status::failure(
        QStringLiteral("--codepage must be one of %1").arg(TextCodePage::optionNames()));
}

Result<TextCodePage> codePageOption(const QCommandLineParser& parser,
                                    const QCommandLineOption& option,
                                    const TextCodePage& otherwise)
{
    if (!parser.isSet(option))
        return otherwise;
    return codePageNamed(parser.value(option));
}

RuntimeDirForRun::RuntimeDirForRun()
{
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    m_dir.emplace(); // made private to this user (0700), removed at the end of the run
    if (m_dir->isValid())
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(m_dir->path()));
}

} // namespace vm
