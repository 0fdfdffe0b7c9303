#include "mainwnd/SearchButtons.h"

#include "uilib/SkinButton.h"

#include <QString>

namespace {

// The looks in the skin's attribute-list form; the idle look names
// pushedtextcolor twice, with the same value.
constexpr const char16_t* kSearchActiveLook =
    u"normalimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FFFFFFFF\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";
constexpr const char16_t* kStopActiveLook =
    u"normalimage=\"file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FFFFFFFF\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FF4B74B4\" hotbkcolor=\"#FF4B74B4\"";
constexpr const char16_t* kSearchIdleLook =
    u"normalimage=\"file='res\\mainwnd\\search_btn_normal.png' dest='10,13,26,29'\" "
    u"pushedimage=\"file='res\\mainwnd\\search_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FF000000\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" "
    u"pushedtextcolor=\"#FFFFFFFF\"";
constexpr const char16_t* kStopIdleLook =
    u"normalimage=\"file='res\\mainwnd\\stop_btn_normal.png' dest='10,13,26,29'\" "
    u"pushedimage=\"file='res\\mainwnd\\stop_btn_selected.png' dest='10,13,26,29'\" textcolor=\"#FF000000\" "
    u"pushedtextcolor=\"#FFFFFFFF\" bkcolor=\"#FFB0BBC7\" hotbkcolor=\"#FF808080\" pushedbkcolor=\"#FF4B74B4\" "
    u"pushedtextcolor=\"#FFFFFFFF\"";

}  // namespace

bool ShowSearchState(bool searching, SkinButton* search, SkinButton* stop)
{
    SkinButton* active = searching ? search : stop;
    SkinButton* idle = searching ? stop : search;
    if (!active)
        return false;
    active->ApplyAttributeList(QString::fromUtf16(searching ? kSearchActiveLook : kStopActiveLook));
    active->SetMouseEnabled(false);
    if (idle) {
        idle->SetMouseEnabled(true);
        idle->ApplyAttributeList(QString::fromUtf16(searching ? kStopIdleLook : kSearchIdleLook));
    }
    return true;
}
