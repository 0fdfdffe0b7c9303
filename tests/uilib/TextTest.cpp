// Text keys: keyed texts show what the lookup answers, plain texts never
// change, and a second translation still knows the keys.
#include "SkinFolder.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"
#include "uilib/SkinText.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// Answers "Search_Btn" (any case) as "<language>:Search_Btn", nothing else.
TextLookup Lookup(const QString& language)
{
    return [language](const QString& key) {
        return key.compare(u"search_btn", Qt::CaseInsensitive) == 0 ? language + u':' + key : QString();
    };
}

class SkinTexts : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Write(QStringLiteral("w.xml"),
                     UiDocument(Widget("QLabel", "KEYED", TextProperty("Search_Btn", true)) +
                                Widget("QPushButton", "BUTTON", TextProperty("Search_Btn", true)) +
                                Widget("QLabel", "PLAIN", TextProperty("Search_Btn")) +
                                Widget("QLabel", "UNKNOWN", TextProperty("Nobody_Knows", true))));
        root = LoadSkinOrReport(ResolveResourcePath(QStringLiteral("w.xml")));
        ASSERT_NE(root, nullptr);
    }
    QString Shown(const char* name) const
    {
        return root->findChild<QWidget*>(QString::fromLatin1(name))->property("text").toString();
    }

    SkinFolder folder;
    std::unique_ptr<QWidget> root;
};

TEST_F(SkinTexts, FollowTheLanguageAndLeavePlainTextsAlone)
{
    for (const char* language : {"en", "zh_cn", "en"}) {
        SCOPED_TRACE(language);
        TranslateSkin(root.get(), Lookup(QString::fromLatin1(language)));
        EXPECT_EQ(Shown("KEYED"), QString::fromLatin1(language) + QStringLiteral(":Search_Btn"));
        EXPECT_EQ(Shown("BUTTON"), QString::fromLatin1(language) + QStringLiteral(":Search_Btn"));
        EXPECT_EQ(Shown("PLAIN"), QStringLiteral("Search_Btn"));
        EXPECT_EQ(Shown("UNKNOWN"), QStringLiteral("Nobody_Knows")) << "a key nobody knows shows as itself";
    }
    EXPECT_EQ(TextKey(root->findChild<QLabel*>(QStringLiteral("KEYED"))), QStringLiteral("Search_Btn"));
    EXPECT_EQ(TextKey(root->findChild<QLabel*>(QStringLiteral("PLAIN"))), QString());
}

TEST(SkinTextsOfMenus, ReachActionsAddedLaterAndKeepAmpersands)
{
    QMenu menu;
    auto* keyed = menu.addAction(QString());
    SetTextKey(keyed, QStringLiteral("SEARCH_BTN"));
    auto* plain = menu.addAction(QStringLiteral("R&D"));
    auto* ampersand = new QAction(&menu);
    SetTextKey(ampersand, QStringLiteral("Search_Btn"));
    menu.addAction(ampersand);
    TranslateSkin(&menu, [](const QString& key) { return key + QStringLiteral(" & more"); });
    EXPECT_EQ(keyed->text(), QStringLiteral("SEARCH_BTN && more")) << "an '&' of a text is no mnemonic";
    EXPECT_EQ(plain->text(), QStringLiteral("R&D"));
    EXPECT_EQ(ampersand->text(), QStringLiteral("Search_Btn && more"));
}

}  // namespace
