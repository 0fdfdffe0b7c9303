#include "mainwnd/ServerList.h"

#include "discovery/ServerRecord.h"
#include "uilib/CDialogBuilder.h"
#include "uilib/CListContainerElementUI.h"
#include "uilib/CListUI.h"
#include "uilib/CPaintManagerUI.h"

#include <QHeaderView>
#include <QTreeView>

#include <array>
#include <memory>

namespace {

// Row labels in ServerRecord field order. UPTIMEABEL is spelled as the row
// templates spell it.
constexpr std::array<const char16_t*, ServerRecord::kFieldCount> kFieldLabels = {
    u"NAMELABEL", u"IPLABEL",         u"PORTLABEL",     u"VERSIONLABEL", u"SERIALLABEL",
    u"MACLABEL",  u"DEVICETYPELABEL", u"KORVANIDLABEL", u"UPTIMEABEL",
};

}  // namespace

ServerList::ServerList(CPaintManagerUI& manager, IDialogBuilderCallback& builderCallback)
    : m_manager(manager)
    , m_builderCallback(builderCallback)
{
}

CListUI* ServerList::List() const
{
    return dynamic_cast<CListUI*>(m_manager.FindControl(u"SERVERLIST"));
}

bool ServerList::IsServerListed(std::u16string_view ip) const
{
    const CListUI* list = List();
    return list && list->FindRowByText(u"IPLABEL", CDuiString(ip)) >= 0;
}

void ServerList::AddServerRow(const ServerRecord& record)
{
    if (IsServerListed(record.IP))
        return;
    CListUI* list = List();
    if (!list)
        return;
    std::unique_ptr<CListContainerElementUI> row(
        CDialogBuilder::Create(u"listitem.xml", nullptr, &m_builderCallback, &m_manager));
    // A row without IPLABEL could never be recognised again: every reply of
    // the same server would add another row. Such a template adds nothing.
    if (!row || !row->FindSubControl(u"IPLABEL"))
        return;
    CListContainerElementUI* added = row.get();
    if (!list->Add(added))
        return;
    row.release();  // the list owns it now
    for (std::size_t i = 0; i < kFieldLabels.size(); ++i) {
        if (CControlUI* label = added->FindSubControl(kFieldLabels[i]))
            label->SetText(CDuiString(record.Field(i)));
    }
    if (CControlUI* event = m_manager.FindControl(u"EVENT2"))
        event->SetVisible(true);
    if (CControlUI* address = m_manager.FindControl(u"EVENT3"))
        address->SetText(CDuiString(record.IP));
    if (CControlUI* counter = m_manager.FindControl(u"SERVERNUMLABEL2"))
        counter->SetText(QString::number(list->GetCount()));
}

void ServerList::RemoveAll()
{
    if (CListUI* list = List())
        list->RemoveAll();
    if (CControlUI* event = m_manager.FindControl(u"EVENT2"))
        event->SetVisible(false);
    if (CControlUI* address = m_manager.FindControl(u"EVENT3"))
        address->SetText(u"");
    if (CControlUI* counter = m_manager.FindControl(u"SERVERNUMLABEL2"))
        counter->SetText(u"0");
}

void ServerList::ApplySkinColumnWidths()
{
    const CListUI* list = List();
    auto* view = list ? qobject_cast<QTreeView*>(list->GetWidget()) : nullptr;
    if (!view)
        return;
    const QStringList widths = view->property("columnWidths").toString().split(u';', Qt::SkipEmptyParts);
    for (int column = 0; column < widths.size(); ++column) {
        bool ok = false;
        const int width = widths[column].trimmed().toInt(&ok);
        if (ok && width > 0)
            view->header()->resizeSection(column, width);
    }
}
