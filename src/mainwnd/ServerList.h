#pragma once

#include "uilib/CDuiString.h"

#include <string_view>

class CListUI;
class CPaintManagerUI;
class IDialogBuilderCallback;
struct ServerRecord;

// The server rows of the main window's SERVERLIST and the status labels that
// describe them. The list itself is the one record of what is shown; the
// duplicate test asks the list's own index of its IPLABEL cells. GUI thread
// only.
class ServerList final
{
public:
    // Both belong to the main window, which outlives this object.
    ServerList(CPaintManagerUI& manager, IDialogBuilderCallback& builderCallback);

    // Appends a row for a server not listed yet (by exact IP text) and
    // updates the counter and the event line; a listed server changes
    // nothing. `record` is read during the call only.
    void AddServerRow(const ServerRecord& record);
    bool IsServerListed(std::u16string_view ip) const;
    // Removes every row and resets the counter and the event line.
    void RemoveAll();
    // Column widths from the skin: SERVERLIST's dynamic property
    // `columnWidths`, pixels separated by ";" (the last column stretches).
    void ApplySkinColumnWidths();

private:
    CListUI* List() const;

    CPaintManagerUI& m_manager;
    IDialogBuilderCallback& m_builderCallback;
};
