#pragma once

#include "common/Status.h"
#include "common/TextCodePage.h"

#include <QTemporaryDir>

#include <optional>

class QCommandLineOption;
class QCommandLineParser;

namespace vm {

// --help and --version, answered before the application object is made, so they work without
// a display and print nothing but the answer. Returns the exit code when one was given.
std::optional<int> answerHelpOrVersion(int argc, const char* const* argv, const char* program,
                                       const char* usage);

// The code page --codepage names; the refusal lists the names taken.
Result<TextCodePage> codePageNamed(const QString& name);
// The code page `option` (--codepage) names when it is given, else `otherwise`.
Result<TextCodePage> codePageOption(const QCommandLineParser& parser,
                                    const QCommandLineOption& option,
                                    const TextCodePage& otherwise);

// Qt warns on every start when XDG_RUNTIME_DIR is unset (a cron job, a build machine) and then
// makes a folder of its own. A command without a window gives it a private one for the run.
class RuntimeDirForRun {
public:
    RuntimeDirForRun();

private:
    std::optional<QTemporaryDir> m_dir;
};

} // namespace vm
