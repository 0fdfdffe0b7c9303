// render-svg: draws an SVG file into a square (or WIDTHxHEIGHT) PNG.
// Used by the build to turn res/svg sources into the skin's images; run it
// with QT_QPA_PLATFORM=offscreen, as the build does, so it needs no display.

#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QStringList>
#include <QSvgRenderer>

#include <cstdio>
#include <optional>
#include <utility>

namespace {

constexpr int kMaxSide = 4096;

const char kUsage[] = "Usage: render-svg INPUT.svg OUTPUT.png SIZE\n"
                      "       render-svg INPUT.svg OUTPUT.png WIDTHxHEIGHT\n"
                      "Renders INPUT.svg, scaled to fill SIZE x SIZE pixels (or WIDTH x HEIGHT),\n"
                      "onto a transparent background and writes it as OUTPUT.png. Missing folders\n"
                      "of OUTPUT.png are created. Sizes run from 1 to 4096.\n"
                      "Exit codes: 0 written, 1 unreadable SVG or unwritable PNG, 2 bad arguments.\n";

void PrintError(const QString& line)
{
    std::fprintf(stderr, "render-svg: %s\n", qPrintable(line));
}

// Qt's SVG parser reports through qWarning, often over several lines. They
// are collected so that a failure ends in one line of our own, and a source
// that renders with warnings still shows them in the build log.
QStringList g_parserMessages;

void CollectMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    g_parserMessages.append(message.simplified());
}

std::optional<int> ParseSide(const QString& text)
{
    bool ok = false;
    const int side = text.toInt(&ok);
    if (!ok || side < 1 || side > kMaxSide)
        return std::nullopt;
    return side;
}

// "16" is 16x16; "32x24" is 32 wide, 24 high.
std::optional<QSize> ParseSize(const QString& text)
{
    const QStringList parts = text.split(u'x');
    if (parts.size() == 1) {
        const auto side = ParseSide(parts[0]);
        return side ? std::optional(QSize(*side, *side)) : std::nullopt;
    }
    if (parts.size() == 2) {
        const auto width = ParseSide(parts[0]);
        const auto height = ParseSide(parts[1]);
        return width && height ? std::optional(QSize(*width, *height)) : std::nullopt;
    }
    return std::nullopt;
}

// Qt words it "Cannot read file 'x', because: <why> (line n)"; the file is
// named in our line already, and an empty why means the root is not <svg>.
QString ParserReason(const QStringList& messages)
{
    if (messages.isEmpty())
        return QStringLiteral("not an SVG document");
    QString reason = messages.first();
    const qsizetype because = reason.indexOf(QStringLiteral("because: "));
    if (because >= 0)
        reason = reason.mid(because + 9);
    if (reason.startsWith(u'('))
        reason.prepend(QStringLiteral("not an SVG document "));
    return reason;
}

void DropStartupNote(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtFatalMsg || type == QtCriticalMsg)
        PrintError(message);
}

}  // namespace

int main(int argc, char* argv[])
{
    // Answer --help before Qt looks for a platform plugin.
    for (int i = 1; i < argc; ++i) {
        const QByteArray arg(argv[i]);
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
    }

    // The platform's start-up notes (XDG_RUNTIME_DIR unset in a build, say)
    // say nothing about the image; they would only clutter the build log.
    const QtMessageHandler standard = qInstallMessageHandler(DropStartupNote);
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(standard);
    const QStringList args = QGuiApplication::arguments().mid(1);
    if (args.size() != 3) {
        PrintError(QStringLiteral("expected INPUT.svg OUTPUT.png SIZE (try --help)"));
        return 2;
    }
    const QString& input = args[0];
    const QString& output = args[1];
    const auto size = ParseSize(args[2]);
    if (!size) {
        PrintError(QStringLiteral("bad size '%1': give N or WxH, each 1 to %2").arg(args[2]).arg(kMaxSide));
        return 2;
    }

    const QFileInfo source(input);
    if (!source.isFile() || !source.isReadable()) {
        PrintError(
            QStringLiteral("cannot read SVG '%1': %2")
                .arg(input, source.exists() ? QStringLiteral("not a readable file") : QStringLiteral("no such file")));
        return 1;
    }
    QSvgRenderer renderer;
    const QtMessageHandler previous = qInstallMessageHandler(CollectMessage);
    const bool loaded = renderer.load(input) && renderer.isValid();
    qInstallMessageHandler(previous);
    if (!loaded) {
        const QString reason = ParserReason(g_parserMessages);
        PrintError(QStringLiteral("cannot read SVG '%1': %2").arg(input, reason));
        return 1;
    }
    for (const QString& message : std::as_const(g_parserMessages))
        PrintError(QStringLiteral("warning: %1").arg(message));

    QImage image(*size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        renderer.render(&painter, QRectF(QPointF(0, 0), QSizeF(*size)));
    }

    const QFileInfo target(output);
    if (!QDir().mkpath(target.absolutePath())) {
        PrintError(QStringLiteral("cannot create folder '%1'").arg(target.absolutePath()));
        return 1;
    }
    if (!image.save(output, "PNG")) {
        PrintError(QStringLiteral("cannot write PNG '%1'").arg(output));
        return 1;
    }
    return 0;
}
