#pragma once

#include "uilib/CDuiString.h"

class CControlUI;
class CListContainerElementUI;
class CPaintManagerUI;
class IDialogBuilderCallback;

// Builds list rows from a row template file (listitem.xml): a root widget
// holding QLabels; the i-th label in document order becomes cell i (shown in
// column i), found by the label's name. The file is parsed once per path and
// cached, so a row costs a few small allocations and no widget.
class CDialogBuilder
{
public:
    // `file` is relative to the resource folder (or absolute). `type`,
    // `callback`, `manager` and `parent` are accepted for the callers' sake;
    // rows need none of them. Returns a new row the caller owns, or nullptr
    // when the template cannot be loaded.
    static CListContainerElementUI* Create(const CDuiString& file, const char16_t* type = nullptr,
                                           IDialogBuilderCallback* callback = nullptr,
                                           CPaintManagerUI* manager = nullptr, CControlUI* parent = nullptr);
    // Forgets the cached templates (after a template file changed).
    static void ClearCache();
};
