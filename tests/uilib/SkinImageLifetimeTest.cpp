// Its own main: the application object comes and goes inside the test.
#include "uilib/ResourcePath.h"

#include <QGuiApplication>

#include <gtest/gtest.h>

namespace {

qint64 KeyOfSkinImageUnderAnApplication(const QString& file)
{
    int argc = 1;
    char name[] = "skin_image_lifetime";
    char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    const QIcon icon = LoadSkinImage(file);
    EXPECT_FALSE(icon.isNull()) << qPrintable(file);
    return icon.cacheKey();
}

// A cached icon holds pixmaps; kept past the application object it would be
// destroyed in static destruction, after the platform it was made for.
TEST(SkinImages, GoWithTheApplicationObject)
{
    const QString file = QStringLiteral(VINDREL_BIN_DIR "/res/vindrel.png");
    const qint64 first = KeyOfSkinImageUnderAnApplication(file);
    EXPECT_NE(KeyOfSkinImageUnderAnApplication(file), first) << "the cache outlived its application";
}

}  // namespace
