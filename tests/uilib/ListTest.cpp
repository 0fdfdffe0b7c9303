// The list's rows, its O(1) lookup and the row template.
#include "SkinFixture.h"
#include "uilib/CDialogBuilder.h"
#include "uilib/CListContainerElementUI.h"
#include "uilib/CListUI.h"

#include <QTextDocument>
#include <QTreeView>

#include <gtest/gtest.h>

namespace {
QByteArray RowTemplate(bool withMac)
{
    QByteArray labels = Widget("QLabel", "NAMELABEL") + Widget("QLabel", "IPLABEL") + Widget("QLabel", "PORTLABEL");
    if (withMac)
        labels += Widget("QLabel", "MACLABEL");
    return UiDocument(labels);
}

class ListFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder.Write(
            QStringLiteral("w.xml"),
            UiDocument(Widget(
                "QTreeView", "SERVERLIST",
                "<property name=\"columns\" stdset=\"0\"><string>h_Name;h_IP;h_Port;h_Mac</string></property>")));
        folder.Write(QStringLiteral("listitem.xml"), RowTemplate(true));
        folder.Write(QStringLiteral("nomac.xml"), RowTemplate(false));
        CDialogBuilder::ClearCache();
        ASSERT_TRUE(window.Create(nullptr, u"w", 0, 0));
        list = static_cast<CListUI*>(window.Manager().FindControl(u"SERVERLIST"));
        ASSERT_NE(list, nullptr);
    }

    // Appends a row first and fills it after, as the main window does.
    void AddServer(const char16_t* ip, const char16_t* templateFile = u"listitem.xml")
    {
        CListContainerElementUI* row = CDialogBuilder::Create(templateFile, nullptr, nullptr, &window.Manager());
        ASSERT_NE(row, nullptr);
        ASSERT_TRUE(list->Add(row));
        row->FindSubControl(u"IPLABEL")->SetText(ip);
        if (CControlUI* name = row->FindSubControl(u"NAMELABEL"))
            name->SetText(u"nas");
    }

    SkinFolder folder;
    TestWindow window{QStringLiteral("w.xml")};
    CListUI* list = nullptr;
};

TEST_F(ListFixture, LookupFollowsAddsTextChangesAndRemoveAll)
{
    EXPECT_EQ(list->FindRowByText(u"IPLABEL", u"10.0.0.1"), -1);  // index built on an empty list
    AddServer(u"10.0.0.1");
    AddServer(u"10.0.0.2");
    AddServer(u"10.0.0.1");  // a second row with the same text: the first still answers
    struct Lookup
    {
        const char16_t* cell;
        const char16_t* text;
        int row;
    };
    const Lookup before[] = {{u"IPLABEL", u"10.0.0.1", 0},  {u"IPLABEL", u"10.0.0.2", 1},
                             {u"IPLABEL", u"10.0.0.3", -1}, {u"IPLABEL", u"10.0.0.", -1},
                             {u"IPLABEL", u"", -1},         {u"NAMELABEL", u"nas", 0},
                             {u"NOSUCHLABEL", u"nas", -1},  {u"", u"nas", -1}};
    for (const Lookup& l : before) {
        SCOPED_TRACE(QString::fromUtf16(l.text).toStdString());
        EXPECT_EQ(list->FindRowByText(l.cell, l.text), l.row);
    }
    EXPECT_EQ(list->GetCount(), 3) << "counts are exact before the view catches up";

    list->GetRowAt(0)->FindSubControl(u"IPLABEL")->SetText(u"10.0.0.9");
    EXPECT_EQ(list->FindRowByText(u"IPLABEL", u"10.0.0.9"), 0);
    EXPECT_EQ(list->FindRowByText(u"IPLABEL", u"10.0.0.1"), 2) << "the next row with the old text takes over";

    list->RemoveAll();
    EXPECT_EQ(list->GetCount(), 0);
    EXPECT_EQ(list->GetItemAt(0), nullptr);
    EXPECT_EQ(list->FindRowByText(u"IPLABEL", u"10.0.0.2"), -1);
    AddServer(u"10.0.0.2");
    EXPECT_EQ(list->FindRowByText(u"IPLABEL", u"10.0.0.2"), 0);
}

TEST_F(ListFixture, TheViewSeesBatchedRowsAndSelectionIsReadBack)
{
    for (int i = 0; i < 50; ++i)
        AddServer(reinterpret_cast<const char16_t*>(QStringLiteral("10.1.0.%1").arg(i).utf16()));
    auto* view = static_cast<QTreeView*>(list->GetWidget());
    EXPECT_EQ(list->GetCurSel(), -1);
    list->FlushPendingRows();
    ASSERT_EQ(view->model()->rowCount(), 50);
    EXPECT_EQ(view->model()->columnCount(), 4);
    EXPECT_EQ(view->model()->index(7, 1).data().toString(), QStringLiteral("10.1.0.7"));
    EXPECT_EQ(view->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("h_IP"))
        << "a key nobody knows shows as itself";
    ASSERT_TRUE(list->SelectItem(7));
    EXPECT_EQ(list->GetCurSel(), 7);
    EXPECT_FALSE(list->SelectItem(50));
}

TEST_F(ListFixture, ATemplateWithoutALabelYieldsRowsWithoutThatCell)
{
    AddServer(u"10.0.0.5", u"nomac.xml");
    const CListContainerElementUI* row = list->GetRowAt(0);
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->FindSubControl(u"MACLABEL"), nullptr);
    EXPECT_EQ(row->GetCount(), 3);
    EXPECT_EQ(row->GetCellText(1), CDuiString(u"10.0.0.5"));
    EXPECT_EQ(list->FindRowByText(u"IPLABEL", u"10.0.0.5"), 0);
}

TEST_F(ListFixture, OnlyRowsCanBeAddedAndAMissingTemplateGivesNoRow)
{
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(CDialogBuilder::Create(u"nothere.xml"), nullptr);
    EXPECT_NE(::testing::internal::GetCapturedStderr().find("nothere.xml"), std::string::npos);
    CControlUI stray;
    EXPECT_FALSE(list->Add(&stray));
    EXPECT_FALSE(list->Add(nullptr));
    EXPECT_EQ(list->GetCount(), 0);
}

// Cells hold what servers sent; a tooltip that rendered markup would show
// "<b>x</b>" as a bold x, or fetch an image a name points at.
TEST_F(ListFixture, TooltipsShowCellTextAsWritten)
{
    const char16_t* const names[] = {u"plain",
                                     u"<b>big</b>",
                                     u"<img src=\"a.png\">x",
                                     u"a < b & c > d",
                                     u"<a href=\"http://10.0.0.9/\">click</a>",
                                     u"<qt>x</qt>"};
    for (const char16_t* name : names) {
        list->RemoveAll();
        AddServer(u"10.0.0.1");
        list->GetRowAt(0)->FindSubControl(u"NAMELABEL")->SetText(name);
        list->FlushPendingRows();
        const QString tip =
            static_cast<QTreeView*>(list->GetWidget())->model()->index(0, 0).data(Qt::ToolTipRole).toString();
        SCOPED_TRACE(tip.toStdString());
        QTextDocument shown;
        if (Qt::mightBeRichText(tip))
            shown.setHtml(tip);
        else
            shown.setPlainText(tip);
        EXPECT_EQ(shown.toPlainText(), QString::fromUtf16(name));
    }
}
}  // namespace
