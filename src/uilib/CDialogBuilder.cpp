#include "uilib/CDialogBuilder.h"

#include "uilib/CListContainerElementUI.h"
#include "uilib/ResourcePath.h"
#include "uilib/SkinLoader.h"

#include <QHash>
#include <QLabel>

#include <optional>

namespace {
using RowTemplate = std::vector<CListContainerElementUI::CellTemplate>;

QHash<QString, std::optional<RowTemplate>>& Cache()
{
    static QHash<QString, std::optional<RowTemplate>> cache;
    return cache;
}

std::optional<RowTemplate> LoadTemplate(const QString& file)
{
    auto root = LoadSkinOrReport(file);
    if (!root)
        return std::nullopt;
    RowTemplate cells;
    // findChildren walks depth first in creation order: the document order.
    const auto labels = root->findChildren<QLabel*>();
    for (const QLabel* label : labels)
        cells.push_back({label->objectName(), label->text()});
    return cells;
}
}  // namespace

CListContainerElementUI* CDialogBuilder::Create(const CDuiString& file, const char16_t*, IDialogBuilderCallback*,
                                                CPaintManagerUI*, CControlUI*)
{
    const QString path = ResolveResourcePath(file);
    auto& cache = Cache();
    auto it = cache.find(path);
    if (it == cache.end())
        it = cache.insert(path, LoadTemplate(path));
    if (!*it)
        return nullptr;
    return new CListContainerElementUI(**it);
}

void CDialogBuilder::ClearCache()
{
    Cache().clear();
}
