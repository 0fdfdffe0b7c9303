// Menu picks: the queued 1145 message and its record.
#include "SkinFixture.h"
#include "uilib/CMenuElementUI.h"
#include "uilib/CMenuUI.h"
#include "uilib/CMenuWnd.h"
#include "uilib/MenuCmd.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <gtest/gtest.h>

#include <string>

namespace {
class MenuFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Write(QStringLiteral("w.xml"), UiDocument({}));
        folder.Write(QStringLiteral("menu.xml"),
                     "<?xml version=\"1.0\"?><ui version=\"4.0\"><class>M</class><widget class=\"QMenu\" name=\"M\">"
                     "<addaction name=\"ABOUT\"/><action name=\"ABOUT\"><property name=\"text\"><string>About</string>"
                     "</property></action></widget><resources/><connections/></ui>");
        ASSERT_TRUE(window.Create(nullptr, u"w", 0, 0));
        window.onMessage = [this](UINT message, WPARAM w, LPARAM) -> LRESULT {
            if (message == 1145 && w) {
                const auto* cmd = reinterpret_cast<const MenuCmd*>(w);
                picked.push_back({std::u16string(cmd->Name), std::u16string(cmd->Text), std::u16string(cmd->UserData)});
                window.Manager().DeletePtr(reinterpret_cast<void*>(w));
            }
            return 0;
        };
    }

    CMenuElementUI* AddItem(CMenuWnd& menu, const char16_t* name, const char16_t* text)
    {
        auto* item = new CMenuElementUI;
        item->SetName(name);
        item->SetText(text);
        EXPECT_TRUE(menu.GetMenuUI()->Add(item));
        return item;
    }

    struct Pick
    {
        std::u16string name, text, userData;
    };
    SkinFolder folder;
    TestWindow window{QStringLiteral("w.xml")};
    std::vector<Pick> picked;
};

TEST_F(MenuFixture, APickPostsItsRecordAfterTheMenuHasClosed)
{
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(nullptr, u"menu.xml", POINT{100, 300}, &window.Manager(), nullptr,
                          eMenuAlignment_Left | eMenuAlignment_Bottom));
    AddItem(menu, u"MENU_SHOW", u"Show");
    CMenuElementUI* exit = AddItem(menu, u"MENU_EXIT", u"A&B");
    exit->SetUserData(u"data");
    menu.ResizeMenu();
    ASSERT_EQ(menu.GetMenuUI()->GetCount(), 3);
    EXPECT_EQ(menu.GetMenuUI()->GetItemAt(0)->GetName(), CDuiString(u"ABOUT")) << "the file's items come first";
    ASSERT_TRUE(menu.IsOpen());
    const QRect geometry = menu.GetHWND()->geometry();
    EXPECT_EQ(geometry.left(), 100);
    EXPECT_EQ(geometry.bottom() + 1, 300) << "left and bottom alignment put the bottom edge at y";

    exit->GetAction()->trigger();
    EXPECT_TRUE(picked.empty()) << "the pick is posted, not sent";
    for (int i = 0; i < 10 && picked.empty(); ++i)
        QApplication::processEvents();
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0].name, u"MENU_EXIT");
    EXPECT_EQ(picked[0].text, u"A&B") << "the text as set, not as a mnemonic";
    EXPECT_EQ(picked[0].userData, u"data");
}

TEST_F(MenuFixture, LongNamesAreCutToTheirFieldAndStayTerminated)
{
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(nullptr, u"menu.xml", POINT{0, 0}, &window.Manager()));
    const std::u16string longName(600, u'N');
    CMenuElementUI* item = AddItem(menu, longName.c_str(), u"t");
    item->GetAction()->trigger();
    for (int i = 0; i < 10 && picked.empty(); ++i)
        QApplication::processEvents();
    ASSERT_EQ(picked.size(), 1u);
    EXPECT_EQ(picked[0].name, std::u16string(255, u'N'));
}

TEST_F(MenuFixture, AFileWithoutAMenuGivesNoRootAndDeletingClosesTheMenu)
{
    folder.Write(QStringLiteral("notmenu.xml"), UiDocument({}));
    CMenuWnd missing;
    ::testing::internal::CaptureStderr();
    EXPECT_FALSE(missing.Init(nullptr, u"gone.xml", POINT{0, 0}, &window.Manager()));
    ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(missing.GetMenuUI(), nullptr);
    missing.ResizeMenu();
    CMenuWnd notMenu;
    EXPECT_FALSE(notMenu.Init(nullptr, u"notmenu.xml", POINT{0, 0}, &window.Manager()));
    EXPECT_EQ(notMenu.GetMenuUI(), nullptr);

    auto menu = std::make_unique<CMenuWnd>();
    ASSERT_TRUE(menu->Init(nullptr, u"menu.xml", POINT{0, 0}, &window.Manager()));
    QPointer<QWidget> popup = menu->GetHWND();
    ASSERT_TRUE(popup && popup->isVisible());
    menu.reset();
    EXPECT_TRUE(popup.isNull());
}
}  // namespace
