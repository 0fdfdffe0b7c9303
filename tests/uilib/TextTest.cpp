// Text keys: which source answers, and that ReloadText reaches every key.
#include "SkinFixture.h"
#include "uilib/CListUI.h"
#include "uilib/CMenuElementUI.h"
#include "uilib/CMenuUI.h"
#include "uilib/CMenuWnd.h"
#include "uilib/CResourceManager.h"

#include <QAbstractItemModel>
#include <QAction>
#include <QTreeView>

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {
// Answers its keys as "<prefix><key>/<language>", null for keys it lacks.
class FakeSource final : public IQueryControlText
{
public:
    explicit FakeSource(std::u16string prefix, std::u16string known)
        : m_prefix(std::move(prefix))
        , m_known(std::move(known))
    {
    }
    const char16_t* QueryControlText(const char16_t* key, const char16_t*) override
    {
        if (!key || CDuiString(key).CompareNoCase(CDuiString(std::u16string_view(m_known))) != 0)
            return nullptr;
        m_answer = m_prefix + key + u"/" + CResourceManager::GetInstance()->GetLanguage().ToU16String();
        return m_answer.c_str();
    }

private:
    std::u16string m_prefix, m_known, m_answer;
};

class TextFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        rm->SetLanguage(u"en");
        folder.Write(
            QStringLiteral("w.xml"),
            UiDocument(Widget("QLabel", "KEYED", TextProperty("Search_Btn", true)) +
                       Widget("QLabel", "PLAIN", TextProperty("Search_Btn")) +
                       Widget("QTreeView", "SERVERLIST",
                              "<property name=\"columns\" stdset=\"0\"><string>Search_Btn;other</string></property>")));
        folder.Write(QStringLiteral("menu.xml"),
                     "<?xml version=\"1.0\"?><ui version=\"4.0\"><class>M</class><widget class=\"QMenu\" name=\"M\">"
                     "<addaction name=\"FROMFILE\"/><action name=\"FROMFILE\"><property "
                     "name=\"text\"><string>Search_Btn</string>"
                     "</property><property name=\"resourceText\" stdset=\"0\"><bool>true</bool></property></action>"
                     "</widget><resources/><connections/></ui>");
        ASSERT_TRUE(window.Create(nullptr, u"w", 0, 0));
    }
    void TearDown() override
    {
        rm->RemoveTextQueryInterface(&first);
        rm->RemoveTextQueryInterface(&second);
    }
    QString Shown(const char16_t* name)
    {
        return window.Manager().FindControl(name)->GetWidget()->property("text").toString();
    }

    CResourceManager* rm = CResourceManager::GetInstance();
    FakeSource first{u"1:", u"search_btn"};
    FakeSource second{u"2:", u"search_btn"};
    SkinFolder folder;
    TestWindow window{QStringLiteral("w.xml")};
};

TEST_F(TextFixture, TheLastInstalledSourceAnswersAndWithdrawingRestoresThePrevious)
{
    EXPECT_EQ(rm->GetText(u"Search_Btn"), CDuiString(u"Search_Btn")) << "no source: the key itself";
    rm->SetTextQueryInterface(&first);
    rm->SetTextQueryInterface(&second);
    EXPECT_EQ(rm->GetText(u"Search_Btn"), CDuiString(u"2:Search_Btn/en"));
    EXPECT_EQ(rm->GetText(u"Unknown_Key"), CDuiString(u"Unknown_Key"));
    rm->RemoveTextQueryInterface(&second);
    EXPECT_EQ(rm->GetText(u"Search_Btn"), CDuiString(u"1:Search_Btn/en"));
    rm->SetTextQueryInterface(&second);
    rm->RemoveTextQueryInterface(&first);  // withdrawing one below the top changes nothing shown
    EXPECT_EQ(rm->GetText(u"Search_Btn"), CDuiString(u"2:Search_Btn/en"));
}

TEST_F(TextFixture, ReloadTextReachesLabelsListHeadersAndMenuItemsButNotPlainTexts)
{
    CMenuWnd menu;
    ASSERT_TRUE(menu.Init(nullptr, u"menu.xml", POINT{10, 10}, &window.Manager()));
    auto* item = new CMenuElementUI;
    item->SetName(u"MENU_SHOW");
    item->SetResourceText(true);
    item->SetText(u"SEARCH_BTN");
    ASSERT_TRUE(menu.GetMenuUI()->Add(item));

    rm->SetTextQueryInterface(&first);
    rm->SetLanguage(u"zh_cn");
    rm->ReloadText();
    auto* view = static_cast<QTreeView*>(window.Manager().FindControl(u"SERVERLIST")->GetWidget());
    EXPECT_EQ(Shown(u"KEYED"), QStringLiteral("1:Search_Btn/zh_cn"));
    EXPECT_EQ(Shown(u"PLAIN"), QStringLiteral("Search_Btn"));
    EXPECT_EQ(view->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("1:Search_Btn/zh_cn"));
    EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("other"));
    EXPECT_EQ(item->GetAction()->text(), QStringLiteral("1:SEARCH_BTN/zh_cn"));
    EXPECT_EQ(static_cast<CMenuElementUI*>(menu.GetMenuUI()->GetItemAt(0))->GetAction()->text(),
              QStringLiteral("1:Search_Btn/zh_cn"));

    rm->SetLanguage(u"en");
    rm->ReloadText();
    EXPECT_EQ(Shown(u"KEYED"), QStringLiteral("1:Search_Btn/en"));
    EXPECT_EQ(item->GetAction()->text(), QStringLiteral("1:SEARCH_BTN/en"));
    EXPECT_EQ(window.Manager().FindControl(u"KEYED")->GetText(), CDuiString(u"1:Search_Btn/en"));
    EXPECT_EQ(window.Manager().FindControl(u"KEYED")->GetRawText(), CDuiString(u"Search_Btn"));
}
}  // namespace
