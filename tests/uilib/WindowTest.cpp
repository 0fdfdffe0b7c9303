// Building windows from skins, finding their controls, closing them.
#include "SkinFixture.h"
#include "uilib/CButtonUI.h"
#include "uilib/CLabelUI.h"
#include "uilib/CListUI.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {
const QByteArray kBody = Widget("QPushButton", "OKBTN", TextProperty("OK_Btn", true)) +
                         Widget("QLabel", "TITLE", TextProperty("&lt;b&gt;plain&lt;/b&gt;")) +
                         Widget("QTreeView", "SERVERLIST") +
                         Widget("QWidget", "PANEL", Widget("QLabel", "INNER", TextProperty("inner")));

struct BrokenSkin
{
    const char* why;
    const char* file;
    QByteArray content;  // empty: no file; "DIR": a folder of that name
};

class BrokenSkinTest : public ::testing::TestWithParam<BrokenSkin>
{};

TEST_P(BrokenSkinTest, CreateFailsBuildsNothingAndNamesTheFile)
{
    const BrokenSkin& c = GetParam();
    SkinFolder folder;
    if (c.content == "DIR")
        QDir(folder.Path(QString())).mkdir(QString::fromLatin1(c.file));
    else if (!c.content.isEmpty())
        folder.Write(QString::fromLatin1(c.file), c.content);
    TestWindow window(QString::fromLatin1(c.file));
    ::testing::internal::CaptureStderr();
    const bool created = window.Create(nullptr, u"t", 0, 0);
    const std::string err = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(created);
    EXPECT_EQ(window.GetHWND(), nullptr);
    EXPECT_EQ(window.initCount, 0);
    EXPECT_NE(err.find(c.file), std::string::npos) << err;
    EXPECT_EQ(window.ShowModal(), 0u) << "a modal loop without a window must not wait";
}

INSTANTIATE_TEST_SUITE_P(Skins, BrokenSkinTest,
                         ::testing::Values(BrokenSkin{"missing file", "missing.xml", {}},
                                           BrokenSkin{"a folder cannot be read as a file", "folder.xml", "DIR"},
                                           BrokenSkin{"not XML", "junk.xml", "this is not a form"},
                                           BrokenSkin{
                                               "an unknown widget class is an error, not a drop", "unknown.xml",
                                               UiDocument(Widget("QFancyDial", "DIAL") + Widget("QLabel", "L"))}));

class WindowFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Write(QStringLiteral("w.xml"),
                     UiDocument(kBody, "<property name=\"caption\" stdset=\"0\"><number>30</number></property>"));
        ASSERT_TRUE(window.Create(nullptr, u"w", 0, 0));
    }

    SkinFolder folder;
    TestWindow window{QStringLiteral("w.xml")};
};

TEST_F(WindowFixture, FindControlAnswersNullForWhatIsNotThere)
{
    struct Case
    {
        const char16_t* name;
        bool found;
    };
    const Case cases[] = {{u"", false},    {u"NOPE", false}, {u"okbtn", false}, {u"OKBTN", true},
                          {u"ROOT", true}, {u"INNER", true}, {u"PANEL", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.name).toStdString());
        CControlUI* control = window.Manager().FindControl(c.name);
        EXPECT_EQ(control != nullptr, c.found);
        if (control) {
            EXPECT_EQ(control->GetName(), CDuiString(c.name));
        }
    }
    EXPECT_EQ(window.initCount, 1);
    CPaintManagerUI unattached;
    EXPECT_EQ(unattached.FindControl(u"OKBTN"), nullptr);
}

TEST_F(WindowFixture, ControlsHaveTheirKindsAndLabelsStayPlain)
{
    EXPECT_NE(dynamic_cast<CButtonUI*>(window.Manager().FindControl(u"OKBTN")), nullptr);
    EXPECT_NE(dynamic_cast<CListUI*>(window.Manager().FindControl(u"SERVERLIST")), nullptr);
    auto* title = dynamic_cast<CLabelUI*>(window.Manager().FindControl(u"TITLE"));
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(static_cast<QLabel*>(title->GetWidget())->textFormat(), Qt::PlainText);
    auto* panel = window.Manager().FindControl(u"PANEL")->AsContainer();
    ASSERT_NE(panel, nullptr);
    EXPECT_NE(panel->FindSubControl(u"INNER"), nullptr);
    EXPECT_EQ(panel->FindSubControl(u"OKBTN"), nullptr);
}

TEST_F(WindowFixture, ButtonClickNotifiesAndMouseDisabledButtonsDoNot)
{
    window.ShowWindow();
    CControlUI* ok = window.Manager().FindControl(u"OKBTN");
    ASSERT_NE(ok, nullptr);
    QTest::mouseClick(ok->GetWidget(), Qt::LeftButton);
    ASSERT_EQ(window.notifications.size(), 1u);
    EXPECT_EQ(window.notifications[0].first, CDuiString(u"click"));
    EXPECT_EQ(window.notifications[0].second, CDuiString(u"OKBTN"));
    ok->SetMouseEnabled(false);
    EXPECT_FALSE(ok->IsMouseEnabled());
    EXPECT_TRUE(ok->GetWidget()->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(WindowFixture, CloseDestroysThenEndsTheModalLoopWithItsCode)
{
    QTimer::singleShot(0, qApp, [this] { window.Close(7); });
    EXPECT_EQ(window.ShowModal(), 7u);
    EXPECT_EQ(window.GetHWND(), nullptr);
    EXPECT_EQ(window.finalCount, 1);
    ASSERT_FALSE(window.messages.empty());
    EXPECT_EQ(window.messages.back(), WM_DESTROY);
    EXPECT_EQ(window.Manager().FindControl(u"OKBTN"), nullptr);
    EXPECT_EQ(window.SendMessageW(3024, 1, 0), 0) << "a destroyed window answers 0 at once";
}

TEST_F(WindowFixture, ACloseRequestFromOutsideDestroysTheWindow)
{
    window.ShowWindow();
    window.GetHWND()->close();
    for (int i = 0; i < 20 && window.finalCount == 0; ++i)
        QApplication::processEvents();
    EXPECT_EQ(window.finalCount, 1);
    EXPECT_NE(std::find(window.messages.begin(), window.messages.end(), WM_DESTROY), window.messages.end());
}

TEST(WindowStyle, ExtendedStylesPickTopmostAndToolWindow)
{
    SkinFolder folder;
    folder.Write(QStringLiteral("w.xml"), UiDocument({}));
    struct Case
    {
        DWORD exStyle;
        bool onTop;
        bool tool;
    };
    const Case cases[] = {
        {0, false, false}, {WS_EX_TOOLWINDOW, false, true}, {WS_EX_TOOLWINDOW | WS_EX_TOPMOST, true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.exStyle);
        TestWindow window(QStringLiteral("w.xml"));
        ASSERT_TRUE(window.Create(nullptr, u"w", 0, c.exStyle));
        const Qt::WindowFlags flags = window.GetHWND()->windowFlags();
        EXPECT_EQ(flags.testFlag(Qt::WindowStaysOnTopHint), c.onTop);
        EXPECT_EQ((flags & Qt::WindowType_Mask) == Qt::Tool, c.tool);
        EXPECT_TRUE(flags.testFlag(Qt::FramelessWindowHint));
    }
}
}  // namespace
