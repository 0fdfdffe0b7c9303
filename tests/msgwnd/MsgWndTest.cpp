// The message window: which button closes with which code, its texts, its
// flags over the desktop, its log file and its text source.
#include "base/ExecutablePath.h"
#include "msgwnd/CMsgWnd.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <unistd.h>

namespace {
// The test's own folder stands for the program folder: the skin is copied
// beside the test, and no lang.xml lies there.
AppFolders TestFolders()
{
    AppFolders folders;
    folders.resources = folders.settings = ExecutableDir();
    folders.log = ExecutableDir() + "log/";
    folders.portable = true;
    return folders;
}

// The open message window's widget, found while its modal loop runs.
QWidget* OpenMessageWindow()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        if (w->isVisible() && w->windowTitle() == QStringLiteral("msgwnd"))
            return w;
    }
    return nullptr;
}

// Runs `inside` once the modal window is up, then returns the close code.
int ShowAndAct(QWidget* parent, const QString& title, const QString& text, std::function<void(QWidget*)> inside)
{
    QTimer::singleShot(0, qApp, [inside] {
        QWidget* w = OpenMessageWindow();
        ASSERT_NE(w, nullptr);
        inside(w);
    });
    return CMsgWnd::ShowMessageWindow(parent, title, text, TestFolders());
}

void Click(QWidget* window, const char* name)
{
    auto* button = window->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(button, nullptr) << name;
    QTest::mouseClick(button, Qt::LeftButton);
}

struct ButtonCase
{
    const char* why;
    const char* button;
    const char* renameTo;  // nullptr keeps the skin's name
    int code;
};

class MsgWndButtonTest : public ::testing::TestWithParam<ButtonCase>
{};

TEST_P(MsgWndButtonTest, ClosesWithItsCode)
{
    const ButtonCase& c = GetParam();
    const int code =
        ShowAndAct(nullptr, QStringLiteral("Korvan Vindrel"), QStringLiteral("Find_Running_Msg"), [&c](QWidget* w) {
            if (c.renameTo)
                w->findChild<QWidget*>(QString::fromLatin1(c.button))->setObjectName(QString::fromLatin1(c.renameTo));
            Click(w, c.renameTo ? c.renameTo : c.button);
        });
    EXPECT_EQ(code, c.code);
    EXPECT_EQ(OpenMessageWindow(), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Buttons, MsgWndButtonTest,
                         ::testing::Values(ButtonCase{"OK closes with 1", "OKBTN", nullptr, 1},
                                           ButtonCase{"Cancel closes with 0", "CANCELBTN", nullptr, 0},
                                           ButtonCase{"the close button closes with 0", "CLOSEBTN", nullptr, 0},
                                           ButtonCase{"OK is known by its name in any case", "OKBTN", "okBtn", 1},
                                           ButtonCase{"Cancel is known in any case", "CANCELBTN", "cancelbtn", 0}));

TEST(MsgWnd, ClicksOnOtherControlsDoNothing)
{
    bool stillOpen = false;
    const int code = ShowAndAct(nullptr, {}, {}, [&](QWidget* w) {
        auto* ok = w->findChild<QWidget*>(QStringLiteral("OKBTN"));
        ok->setObjectName(QStringLiteral("OTHERBTN"));
        QTest::mouseClick(ok, Qt::LeftButton);
        QApplication::processEvents();
        stillOpen = OpenMessageWindow() != nullptr;
        Click(w, "CANCELBTN");
    });
    EXPECT_TRUE(stillOpen);
    EXPECT_EQ(code, 0);
}

struct TextCase
{
    const char* why;
    const char16_t* language;
    const char16_t* title;
    const char16_t* text;
    QString shownTitle;
    QString shownText;
};

class MsgWndTextTest : public ::testing::TestWithParam<TextCase>
{};

TEST_P(MsgWndTextTest, ShowsTitleAndTextFromTheCallOrTheSkin)
{
    const TextCase& c = GetParam();
    // No lang.xml beside the test: the window falls back to Chinese.
    QString title, text;
    ShowAndAct(nullptr, QString::fromUtf16(c.title), QString::fromUtf16(c.text), [&](QWidget* w) {
        title = w->findChild<QWidget*>(QStringLiteral("MessageTitle"))->property("text").toString();
        text = w->findChild<QWidget*>(QStringLiteral("MessageText"))->property("text").toString();
        Click(w, "OKBTN");
    });
    EXPECT_EQ(title, c.shownTitle);
    EXPECT_EQ(text, c.shownText);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, MsgWndTextTest,
    ::testing::Values(TextCase{"the caption and the running key", u"zh_cn", u"Korvan Vindrel", u"Find_Running_Msg",
                               QStringLiteral("Korvan Vindrel"), QString::fromUtf8("Vindrel 已经在运行了")},
                      TextCase{"empty title and text keep the skin's texts", u"zh_cn", u"", u"",
                               QStringLiteral("Vindrel"), QString::fromUtf8("Vindrel 已经在运行了")},
                      TextCase{"a text that is no key shows as given", u"zh_cn", u"T", u"plain <b>text</b>",
                               QStringLiteral("T"), QStringLiteral("plain <b>text</b>")}));

TEST(MsgWnd, OverTheDesktopItIsATopmostToolWindowOverAWindowNotTopmost)
{
    QWidget owner;
    owner.show();
    struct Case
    {
        QWidget* parent;
        bool onTop;
    };
    const Case cases[] = {{nullptr, true}, {&owner, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.onTop);
        Qt::WindowFlags flags;
        ShowAndAct(c.parent, {}, {}, [&](QWidget* w) {
            flags = w->windowFlags();
            Click(w, "OKBTN");
        });
        EXPECT_EQ(flags.testFlag(Qt::WindowStaysOnTopHint), c.onTop);
        EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool);
    }
}

struct LogNameCase
{
    const char* why;
    std::tm time;
    const char* name;
};

class LogNameTest : public ::testing::TestWithParam<LogNameCase>
{};

TEST_P(LogNameTest, NumbersHaveNoLeadingZeros)
{
    EXPECT_EQ(CMsgWnd::LogFilePath("/x/log/", GetParam().time), std::string("/x/log/") + GetParam().name);
}

std::tm Tm(int y, int mo, int d, int h, int mi, int s)
{
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mo - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    t.tm_min = mi;
    t.tm_sec = s;
    return t;
}

INSTANTIATE_TEST_SUITE_P(LogNames, LogNameTest,
                         ::testing::Values(LogNameCase{"single digits", Tm(2024, 3, 7, 9, 5, 3), "2024-3-7-9-5-3.txt"},
                                           LogNameCase{"double digits", Tm(2025, 12, 31, 23, 59, 58),
                                                       "2025-12-31-23-59-58.txt"},
                                           LogNameCase{"midnight", Tm(2026, 1, 1, 0, 0, 0), "2026-1-1-0-0-0.txt"}));

class LogFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m_cwd = QDir::currentPath();
        ASSERT_TRUE(m_elsewhere.isValid());
    }
    void TearDown() override { QDir::setCurrent(m_cwd); }

    // Asks the window for its skin twice within one second; returns the log.
    QByteArray LogOfTwoWindows()
    {
        for (;;) {
            const std::time_t start = std::time(nullptr);
            std::tm local{};
            localtime_r(&start, &local);
            const QString path = QString::fromStdString(CMsgWnd::LogFilePath(ExecutableDir() + "log/", local));
            QFile::remove(path);
            for (int i = 0; i < 2; ++i) {
                const CMsgWnd window(TestFolders());
                m_skin = window.SkinFile();
            }
            if (std::time(nullptr) != start)
                continue;  // crossed a second: the two lines went to two files
            QFile log(path);
            if (!log.open(QIODevice::ReadOnly))
                return {};
            const QByteArray content = log.readAll();
            log.remove();
            return content;
        }
    }

    QString m_cwd;
    QTemporaryDir m_elsewhere;
    QString m_skin;
};

TEST_F(LogFixture, TwoWindowsInOneSecondAppendToOneFile)
{
    std::string dir = ExecutableDir();
    dir.pop_back();
    struct Case
    {
        const char* why;
        bool skinInCurrentDir;
        std::string expected;
    };
    const Case cases[] = {
        {"started beside message.xml: the folder line only", true, dir + "\n" + dir + "\n"},
        {"started elsewhere: each folder line is followed by its own notice", false,
         dir + "\nno message.xml\n" + dir + "\nno message.xml\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.why);
        QDir::setCurrent(c.skinInCurrentDir ? QString::fromStdString(ExecutableDir()) : m_elsewhere.path());
        EXPECT_EQ(LogOfTwoWindows().toStdString(), c.expected);
        EXPECT_EQ(m_skin, QString::fromStdString(dir + "/message.xml"));
    }
}
}  // namespace
