// libFuzzer target for targets.txt: the file's bytes are read as the window
// reads them, saved as it saves them into a private temporary folder, and
// read back. Aborts when a target read is empty, a comment, has blanks at
// its ends or holds a line end, or when saving and reading again changes
// the list (a person's targets must survive the round trip).

#include "FuzzCheck.h"

#include "mainwnd/SavedTargets.h"

#include <QTemporaryDir>

#include <cstdint>
#include <memory>

namespace {

QTemporaryDir* g_dir = nullptr;  // lives until the process ends

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    g_dir = new QTemporaryDir;
    FUZZ_CHECK(g_dir->isValid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArrayView bytes(data, static_cast<qsizetype>(size));
    const QStringList targets = ParseTargets(bytes);
    FUZZ_CHECK(ParseTargets(bytes) == targets);
    for (const QString& target : targets) {
        FUZZ_CHECK(!target.isEmpty() && !target.startsWith(u'#'));
        FUZZ_CHECK(!target.front().isSpace() && !target.back().isSpace());
        FUZZ_CHECK(!target.contains(u'\n'));
    }
    QString error;
    FUZZ_CHECK(SaveTargets(g_dir->path(), targets, false, error));
    FUZZ_CHECK(LoadTargets(g_dir->path()) == targets);
    return 0;
}
