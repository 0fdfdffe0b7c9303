// Loading skins: broken ones fail with their file named, labels stay plain,
// buttons get their skin looks, and a skin becomes a frameless window.
#include "SkinFolder.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinButton.h"
#include "uilib/SkinLoader.h"
#include "uilib/WindowFrame.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

namespace {

struct BrokenSkin
{
    const char* why;
    const char* file;
    QByteArray content;  // empty: no file; "DIR": a folder of that name
};

class BrokenSkinTest : public ::testing::TestWithParam<BrokenSkin>
{};

TEST_P(BrokenSkinTest, BuildsNothingAndNamesTheFile)
{
    const BrokenSkin& c = GetParam();
    SkinFolder folder;
    if (c.content == "DIR")
        QDir(folder.Path(QString())).mkdir(QString::fromLatin1(c.file));
    else if (!c.content.isEmpty())
        folder.Write(QString::fromLatin1(c.file), c.content);
    QWidget window;
    QString error;
    EXPECT_FALSE(BuildSkinnedWindow(window, QString::fromLatin1(c.file), error));
    EXPECT_TRUE(error.contains(QString::fromLatin1(c.file))) << error.toStdString();
    EXPECT_EQ(window.layout(), nullptr) << "the window is left untouched";
    EXPECT_FALSE(window.windowFlags().testFlag(Qt::FramelessWindowHint));

    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadSkinMenu(ResolveResourcePath(QString::fromLatin1(c.file))), nullptr);
    const std::string err = ::testing::internal::GetCapturedStderr();
    const auto ours = err.find("vindrel: ");
    ASSERT_NE(ours, std::string::npos) << err;
    EXPECT_NE(err.find(c.file, ours), std::string::npos) << err;
    EXPECT_EQ(err.find("vindrel: ", ours + 1), std::string::npos) << "one line of ours: " << err;
}

INSTANTIATE_TEST_SUITE_P(Skins, BrokenSkinTest,
                         ::testing::Values(BrokenSkin{"missing file", "missing.xml", {}},
                                           BrokenSkin{"a folder cannot be read as a file", "folder.xml", "DIR"},
                                           BrokenSkin{"not XML", "junk.xml", "this is not a form"},
                                           BrokenSkin{
                                               "an unknown widget class is an error, not a drop", "unknown.xml",
                                               UiDocument(Widget("QFancyDial", "DIAL") + Widget("QLabel", "L"))}));

class SkinnedWindow : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Write(QStringLiteral("w.xml"),
                     UiDocument(Widget("QPushButton", "OKBTN",
                                       TextProperty("OK") +
                                           "<property name=\"geometry\"><rect><x>10</x><y>150</y><width>80</width>"
                                           "<height>30</height></rect></property>" +
                                           "<property name=\"bkcolor\" stdset=\"0\"><string>#FF4B74B4</string>"
                                           "</property>") +
                                    Widget("QLabel", "TITLE", TextProperty("&lt;b&gt;plain&lt;/b&gt;")) +
                                    Widget("QWidget", "PANEL", Widget("QLabel", "INNER", TextProperty("inner"))),
                                "<property name=\"caption\" stdset=\"0\"><number>30</number></property>"));
        QString error;
        ASSERT_TRUE(BuildSkinnedWindow(window, QStringLiteral("w.xml"), error)) << error.toStdString();
    }

    SkinFolder folder;
    QWidget window;
};

TEST_F(SkinnedWindow, IsFramelessSizedAsTheSkinWithItsControlsByName)
{
    EXPECT_TRUE(window.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_EQ(window.size(), QSize(300, 200));
    EXPECT_NE(window.findChild<QWidget*>(QStringLiteral("ROOT")), nullptr);
    EXPECT_NE(window.findChild<QLabel*>(QStringLiteral("INNER")), nullptr);
    EXPECT_NE(window.findChild<WindowFrame*>(), nullptr);
}

TEST_F(SkinnedWindow, ButtonsAreSkinButtonsWithTheirLookAndLabelsStayPlain)
{
    auto* ok = window.findChild<SkinButton*>(QStringLiteral("OKBTN"));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->GetLook().BkColor, QColor(0x4B, 0x74, 0xB4));
    auto* title = window.findChild<QLabel*>(QStringLiteral("TITLE"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->textFormat(), Qt::PlainText);
    EXPECT_EQ(title->textInteractionFlags(), Qt::NoTextInteraction);
    EXPECT_EQ(title->text(), QStringLiteral("<b>plain</b>"));
}

TEST_F(SkinnedWindow, AButtonThatTakesNoMouseInputCannotBeClicked)
{
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    auto* ok = window.findChild<SkinButton*>(QStringLiteral("OKBTN"));
    ASSERT_NE(ok, nullptr);
    QSignalSpy clicks(ok, &SkinButton::clicked);
    const QPoint at = ok->mapTo(&window, ok->rect().center());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(clicks.count(), 1);
    ok->SetMouseEnabled(false);
    EXPECT_FALSE(ok->IsMouseEnabled());
    QTest::mouseClick(window.windowHandle(), Qt::LeftButton, {}, at);
    EXPECT_EQ(clicks.count(), 1);
    EXPECT_EQ(ok->CurrentState(), SkinButton::State::Normal);
}

TEST(SkinMenu, KeepsTheActionsOfItsFileAndRefusesAnotherRoot)
{
    SkinFolder folder;
    folder.Write(QStringLiteral("menu.xml"),
                 "<?xml version=\"1.0\"?><ui version=\"4.0\"><class>M</class><widget class=\"QMenu\" name=\"M\">"
                 "<addaction name=\"ABOUT\"/><action name=\"ABOUT\"><property name=\"text\"><string>About</string>"
                 "</property></action></widget><resources/><connections/></ui>");
    folder.Write(QStringLiteral("notmenu.xml"), UiDocument({}));
    const std::unique_ptr<QMenu> menu = LoadSkinMenu(ResolveResourcePath(QStringLiteral("menu.xml")));
    ASSERT_NE(menu, nullptr);
    ASSERT_EQ(menu->actions().size(), 1);
    EXPECT_EQ(menu->actions()[0]->objectName(), QStringLiteral("ABOUT"));
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(LoadSkinMenu(ResolveResourcePath(QStringLiteral("notmenu.xml"))), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("notmenu.xml"), std::string::npos);
}

}  // namespace
