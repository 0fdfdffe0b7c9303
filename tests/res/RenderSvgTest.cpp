// render-svg as the build runs it: a good source becomes a PNG of the asked
// size; every bad input ends with one line on stderr and a non-zero status.

#include <gtest/gtest.h>

#include <QImage>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace {

struct RunResult
{
    int exitCode = -1;
    QByteArray stdErr;
};

RunResult RenderSvg(const QStringList& args)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(VINDREL_RENDER_SVG), args);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), process.readAllStandardError()};
}

class RenderSvgTest : public testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }

    QString Write(const char* name, const QByteArray& content)
    {
        const QString path = m_dir.filePath(QString::fromLatin1(name));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size())
            ADD_FAILURE() << "cannot write " << path.toStdString();
        return path;
    }

    QString Out(const char* name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
};

const QByteArray kSquare = "<svg xmlns='http://www.w3.org/2000/svg' width='8' height='8' viewBox='0 0 8 8'>"
                           "<rect x='2' y='2' width='4' height='4' fill='#4B74B4'/></svg>";

TEST_F(RenderSvgTest, RendersToTheAskedSizeIntoNewFolders)
{
    const QString svg = Write("square.svg", kSquare);
    const struct
    {
        const char* size;
        QSize expected;
    } cases[] = {{"16", {16, 16}}, {"40x20", {40, 20}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.size);
        const QString png = Out("a/b/square.png");
        const RunResult run = RenderSvg({svg, png, QString::fromLatin1(c.size)});
        EXPECT_EQ(run.exitCode, 0) << run.stdErr.toStdString();
        EXPECT_TRUE(run.stdErr.isEmpty()) << run.stdErr.toStdString();
        const QImage image(png);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), c.expected);
        // Scaled, not cropped: the square sits in the middle quarter.
        EXPECT_EQ(image.pixelColor(c.expected.width() / 2, c.expected.height() / 2), QColor(0x4B, 0x74, 0xB4));
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0);
    }
}

TEST_F(RenderSvgTest, BadInputEndsInOneLine)
{
    const QString good = Write("good.svg", kSquare);
    const struct
    {
        const char* why;
        QStringList args;
        int exitCode;
        const char* says;
    } cases[] = {
        {"a missing source", {Out("none.svg"), Out("x.png"), QStringLiteral("16")}, 1, "cannot read SVG"},
        {"a truncated source",
         {Write("cut.svg", kSquare.left(40)), Out("x.png"), QStringLiteral("16")},
         1,
         "cannot read SVG"},
        {"text that is not SVG",
         {Write("text.svg", "hello"), Out("x.png"), QStringLiteral("16")},
         1,
         "cannot read SVG"},
        {"a folder as source", {m_dir.path(), Out("x.png"), QStringLiteral("16")}, 1, "cannot read SVG"},
        {"a size of zero", {good, Out("x.png"), QStringLiteral("0")}, 2, "bad size"},
        {"a size with junk", {good, Out("x.png"), QStringLiteral("16x")}, 2, "bad size"},
        {"a size too large", {good, Out("x.png"), QStringLiteral("5000")}, 2, "bad size"},
        {"a missing size", {good, Out("x.png")}, 2, "expected"},
        {"an unwritable target", {good, QStringLiteral("/proc/no/x.png"), QStringLiteral("16")}, 1, "cannot"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.why);
        const RunResult run = RenderSvg(c.args);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.stdErr.startsWith("render-svg: ")) << run.stdErr.toStdString();
        EXPECT_TRUE(run.stdErr.contains(c.says)) << run.stdErr.toStdString();
        EXPECT_EQ(run.stdErr.count('\n'), 1) << run.stdErr.toStdString();
    }
    EXPECT_FALSE(QFile::exists(Out("x.png")));
}

}  // namespace
