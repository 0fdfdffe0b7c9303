// The rendered images: every one the windows and skins name is there at 1x
// and 2x, has the right size, and shows up against the surface it is drawn on.

#include <gtest/gtest.h>

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QSet>
#include <QString>

#include <cmath>
#include <ostream>

namespace {

const QString kBinDir = QStringLiteral(VINDREL_BIN_DIR);
const QString kSourceDir = QStringLiteral(VINDREL_SOURCE_DIR);

// Surfaces the glyphs are drawn on: the light title bar, the idle (grey) and
// active (blue) Search/Stop buttons, the message window.
const QColor kTitleBar(0xF4, 0xF6, 0xF9);
const QColor kIdleButton(0xB0, 0xBB, 0xC7);
const QColor kActiveButton(0x4B, 0x74, 0xB4);
const QColor kWhite(0xFF, 0xFF, 0xFF);

struct ImageCase
{
    const char* name;  // relative to bin/, without ".png"
    int size;          // side at 1x
    QColor surface;    // what the glyph sits on; invalid: the image brings its own
};

// Where a button shows text too, its glyph wears the text's side of the
// surface: dark on the title bar and the idle button, light on the active one.
bool IsLight(const QColor& surface)
{
    return surface == kActiveButton;
}

const ImageCase kImages[] = {
    {"res/common/min_btn_normal", 16, kTitleBar},
    {"res/common/min_btn_hot", 16, {}},
    {"res/common/min_btn_pushed", 16, {}},
    {"res/common/max_btn_normal", 16, kTitleBar},
    {"res/common/max_btn_hot", 16, {}},
    {"res/common/max_btn_pushed", 16, {}},
    {"res/common/restore", 16, kTitleBar},
    {"res/common/restore_hot", 16, {}},
    {"res/common/restore_pushed", 16, {}},
    {"res/common/close_btn_normal", 16, kTitleBar},
    {"res/common/close_btn_hot", 16, {}},
    {"res/common/close_btn_pushed", 16, {}},
    {"res/mainwnd/search_btn_normal", 16, kIdleButton},
    {"res/mainwnd/search_btn_selected", 16, kActiveButton},
    {"res/mainwnd/stop_btn_normal", 16, kIdleButton},
    {"res/mainwnd/stop_btn_selected", 16, kActiveButton},
    {"res/mainwnd/refresh_btn", 16, kIdleButton},
    {"res/mainwnd/language_btn", 16, kIdleButton},
    {"res/mainwnd/menu_btn", 16, kIdleButton},
    {"res/mainwnd/logo", 24, {}},
    {"res/msgwnd/info", 32, kWhite},
    {"res/vindrel", 256, {}},
};

double Luminance(const QColor& c)
{
    const auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
}

double ContrastRatio(const QColor& a, const QColor& b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// The colour of the glyph itself: the average of its nearly opaque pixels
// (the anti-aliased rim would drag it toward the surface).
QColor InkColour(const QImage& image)
{
    double r = 0, g = 0, b = 0;
    int count = 0;
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        for (int x = 0; x < argb.width(); ++x) {
            const QColor pixel = argb.pixelColor(x, y);
            if (pixel.alpha() < 230)
                continue;
            r += pixel.redF();
            g += pixel.greenF();
            b += pixel.blueF();
            ++count;
        }
    }
    if (count == 0)
        return {};
    return QColor::fromRgbF(float(r / count), float(g / count), float(b / count));
}

double OpaqueShare(const QImage& image)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x)
            count += argb.pixelColor(x, y).alpha() >= 230;
    return double(count) / (argb.width() * argb.height());
}

void PrintTo(const ImageCase& c, std::ostream* os)
{
    *os << c.name;
}

class RenderedImage : public testing::TestWithParam<ImageCase>
{};

TEST_P(RenderedImage, ExistsAtBothScalesAndStandsOutFromItsSurface)
{
    const ImageCase& c = GetParam();
    for (const int scale : {1, 2}) {
        const QString path = kBinDir + u'/' + QString::fromLatin1(c.name) +
                             (scale == 2 ? QStringLiteral("@2x.png") : QStringLiteral(".png"));
        SCOPED_TRACE(path.toStdString());
        const QImage image(path);
        ASSERT_FALSE(image.isNull()) << "missing or unreadable";
        EXPECT_EQ(image.width(), c.size * scale);
        EXPECT_EQ(image.height(), c.size * scale);
        EXPECT_TRUE(image.hasAlphaChannel()) << "glyphs must be drawn on transparency";
        EXPECT_GT(OpaqueShare(image), 0.03) << "nothing visible was drawn";
        if (c.surface.isValid()) {
            const QColor ink = InkColour(image);
            ASSERT_TRUE(ink.isValid());
            // 3:1 is the usual floor for icons and other non-text graphics.
            EXPECT_GE(ContrastRatio(ink, c.surface), 3.0)
                << "ink " << ink.name().toStdString() << " on " << c.surface.name().toStdString();
            EXPECT_EQ(Luminance(ink) > Luminance(c.surface), IsLight(c.surface))
                << "ink " << ink.name().toStdString() << " on " << c.surface.name().toStdString() << " should be "
                << (IsLight(c.surface) ? "lighter" : "darker") << " than its surface";
        }
    }
}

std::string CaseName(const testing::TestParamInfo<ImageCase>& info)
{
    std::string name = info.param.name;
    for (char& ch : name)
        if (!std::isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Skin, RenderedImage, testing::ValuesIn(kImages), CaseName);

TEST(IconTheme, HoldsEverySizeTheDesktopAsksFor)
{
    for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = kBinDir + QStringLiteral("/res/icons/hicolor/%1x%1/apps/vindrel.png").arg(size);
        SCOPED_TRACE(path.toStdString());
        const QImage image(path);
        ASSERT_FALSE(image.isNull());
        EXPECT_EQ(image.size(), QSize(size, size));
    }
}

TEST(SkinFiles, AreCopiedBesideTheExecutableWhenTheSourceHasThem)
{
    for (const char* name : {"vindrel.xml", "listitem.xml", "menu.xml", "message.xml", "lang.xml"}) {
        SCOPED_TRACE(name);
        QFile source(kSourceDir + QStringLiteral("/res/") + QString::fromLatin1(name));
        if (!source.open(QIODevice::ReadOnly))
            continue;
        QFile copy(kBinDir + u'/' + QString::fromLatin1(name));
        ASSERT_TRUE(copy.open(QIODevice::ReadOnly)) << "not copied";
        EXPECT_EQ(copy.readAll(), source.readAll()) << "stale copy";
    }
}

// Skins and code name images as "res\mainwnd\x.png" (or with '/'); a name
// that no SVG renders would show as an empty button.
TEST(NamedImages, EveryImageASkinOrTheProgramNamesIsRendered)
{
    const QRegularExpression imageName(QStringLiteral(R"re(res(?:\\\\|\\|/)[A-Za-z0-9_@\\/.-]+?\.png)re"));
    QSet<QString> named;
    QDirIterator files(kSourceDir, {QStringLiteral("*.xml"), QStringLiteral("*.cpp"), QStringLiteral("*.h")},
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        const QString path = files.next();
        const QString relative = QDir(kSourceDir).relativeFilePath(path);
        if (!relative.startsWith(QStringLiteral("res/")) && !relative.startsWith(QStringLiteral("src/")))
            continue;
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        const bool code = !path.endsWith(QStringLiteral(".xml"));
        const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n');
        for (const QString& line : lines) {
            // Examples in comments are not names the program uses.
            const QString trimmed = line.trimmed();
            if (code && (trimmed.startsWith(QStringLiteral("//")) || trimmed.startsWith(u'*')))
                continue;
            for (auto match = imageName.globalMatch(line); match.hasNext();) {
                QString name = match.next().captured();
                name.replace(QStringLiteral("\\\\"), QStringLiteral("/")).replace(u'\\', u'/');
                named.insert(name);
            }
        }
    }
    for (const QString& name : std::as_const(named)) {
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(QFile::exists(kBinDir + u'/' + name)) << "named but not rendered";
    }
}

}  // namespace
