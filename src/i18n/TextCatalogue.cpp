#include "i18n/TextCatalogue.h"

#include <span>

namespace {

struct CatalogueRow
{
    const char16_t* key;
    const char16_t* english;
    const char16_t* chinese;
};

// The Chinese texts are written as escapes so that no editor or encoding
// step can change them. Several texts start or end with a space, or hold two,
// because the window puts them next to a number or wants them spread out:
// those spaces are part of the text.
constexpr CatalogueRow kMainWindowRows[] =
    {
        {u"Search_Btn", u"Search", u"\u641C\u7D22"},                             // "搜索"
        {u"Stop_Btn", u"Stop", u"\u505C\u6B62"},                                 // "停止"
        {u"Refresh_Btn", u"Refresh", u"\u5237\u65B0"},                           // "刷新"
        {u"listhead_Name", u"Name", u"\u540D\u79F0 "},                           // "名称 "
        {u"listhead_IP", u"IP", u"IP\u5730\u5740"},                              // "IP地址"
        {u"listhead_Port", u"Port", u"\u7AEF\u53E3"},                            // "端口"
        {u"listhead_Version", u"Version", u"\u7248\u672C"},                      // "版本"
        {u"listhead_Serial", u"Serial", u"\u5E8F\u5217\u53F7 "},                 // "序列号 "
        {u"listhead_Mac", u"Mac", u"\u786C\u4EF6\u5730\u5740"},                  // "硬件地址"
        {u"listhead_DeviceType", u"Device Type", u"\u8BBE\u5907\u7C7B\u578B "},  // "设备类型 "
        {u"listhead_KorvanID", u"KORVANID", u"Korvan\u6807\u8BC6"},              // "Korvan标识"
        {u"listhead_UpTime", u"Up Time", u"\u4E0A\u7EBF\u65F6\u95F4"},           // "上线时间"
        // The tray menu asks for "menu_SHOW" and "menu_EXIT"; keys ignore case.
        {u"menu_show", u"Show", u"\u663E\u793A\u4E3B\u7A97\u53E3"},                 // "显示主窗口"
        {u"menu_exit", u"Exit", u"\u9000\u51FA"},                                   // "退出"
        {u"Total_Label1", u"Total find ", u"\u5171\u627E\u5230 "},                  // "共找到 "
        {u"Total_Label2", u" Korvan Server.", u" \u53F0\u670D\u52A1\u5668\u3002"},  // " 台服务器。"
        // Key and English text are misspelt on purpose: the skins refer to them so.
        {u"Current_Evnent", u"Current Evnent:", u"\u5F53\u524D\u4E8B\u4EF6\uFF1A"},  // "当前事件："
        {u"Found_Server", u"Found Korvan Server ",
         u"\u627E\u5230 Korvan \u670D\u52A1\u5668 "},  // "找到 Korvan 服务器 "
        // The window's own texts beyond the ones above: its subtitle, the filter,
        // the row and window menus, names for screen readers and status lines.
        // "%1", "%2" stand for what the window fills in.
        {u"Subtitle_Text", u"Korvan Server Finder", u"Korvan \u670D\u52A1\u5668\u641C\u7D22"},  // "Korvan 服务器搜索"
        {u"Filter_Edit", u"Filter", u"\u7B5B\u9009"},                                           // "筛选"
        {u"Filter_Shown", u"%1 of %2 shown",
         u"\u663E\u793A %1 \u53F0\uFF0C\u5171 %2 \u53F0"},                       // "显示 %1 台，共 %2 台"
        {u"Menu_Btn", u"Menu", u"\u83DC\u5355"},                                 // "菜单"
        {u"Language_Btn", u"Language", u"\u8BED\u8A00"},                         // "语言"
        {u"Min_Btn", u"Minimize", u"\u6700\u5C0F\u5316"},                        // "最小化"
        {u"Max_Btn", u"Maximize", u"\u6700\u5927\u5316"},                        // "最大化"
        {u"Close_Btn", u"Hide to the tray", u"\u9690\u85CF\u5230\u6258\u76D8"},  // "隐藏到托盘"
        {u"Search_Desc", u"Take in the servers' replies",
         u"\u63A5\u6536\u670D\u52A1\u5668\u7684\u5E94\u7B54"},  // "接收服务器的应答"
        {u"Stop_Desc", u"Stop taking in replies", u"\u505C\u6B62\u63A5\u6536\u5E94\u7B54"},  // "停止接收应答"
        {u"Refresh_Desc", u"Empty the list", u"\u6E05\u7A7A\u5217\u8868"},                   // "清空列表"
        {u"Filter_Desc", u"Show only the servers with a field that holds this text",
         u"\u53EA\u663E\u793A\u542B\u6709\u6B64\u6587\u5B57\u7684\u670D\u52A1\u5668"},  // "只显示含有此文字的服务器"
        {u"Logo_Name", u"Vindrel", u"Vindrel"},
        {u"Logo_Desc", u"Korvan Server Finder", u"Korvan \u670D\u52A1\u5668\u641C\u7D22"},  // "Korvan 服务器搜索"
        {u"Language_Desc", u"Choose the window's language",
         u"\u9009\u62E9\u7A97\u53E3\u8BED\u8A00"},  // "选择窗口语言"
        {u"Menu_Desc", u"Find by address, diagnostics, export, exit",
         u"\u6309\u5730\u5740\u67E5\u627E\u3001\u8BCA\u65AD\u3001\u5BFC\u51FA\u3001\u9000\u51FA"},  // "按地址查找、诊断、导出、退出"
        {u"Window_Desc", u"Changes the window's size or hides it; the program goes on",
         u"\u6539\u53D8\u7A97\u53E3\u5927\u5C0F\u6216\u9690\u85CF\u7A97\u53E3\uFF1B\u7A0B\u5E8F\u7EE7\u7EED"
         u"\u8FD0\u884C"},  // "改变窗口大小或隐藏窗口；程序继续运行"
        {u"Find_Desc", u"Probe servers on other networks by their address",
         u"\u6309\u5730\u5740\u63A2\u6D4B\u5176\u4ED6\u7F51\u7EDC\u4E2D\u7684\u670D\u52A1\u5668"},  // "按地址探测其他网络中的服务器"
        {u"Diag_Desc", u"Check why no server is found",
         u"\u68C0\u67E5\u4E3A\u4EC0\u4E48\u627E\u4E0D\u5230\u670D\u52A1\u5668"},  // "检查为什么找不到服务器"
        {u"Filter_Clear", u"Clear the filter", u"\u6E05\u9664\u7B5B\u9009"},  // "清除筛选"
        {u"List_Name", u"Servers found", u"\u627E\u5230\u7684\u670D\u52A1\u5668"},  // "找到的服务器"
        {u"List_Desc", u"Enter opens a server's web page; the menu key shows what else can be done",
         u"\u56DE\u8F66\u952E\u6253\u5F00\u670D\u52A1\u5668\u7F51\u9875\uFF1B\u83DC\u5355\u952E\u663E\u793A\u5176\u4ED6"
         u"\u64CD\u4F5C"},  // "回车键打开服务器网页；菜单键显示其他操作"
        {u"menu_open_page", u"Open web page", u"\u6253\u5F00\u7F51\u9875"},         // "打开网页"
        {u"menu_copy_ip", u"Copy IP address", u"\u590D\u5236 IP \u5730\u5740"},     // "复制 IP 地址"
        {u"menu_copy_mac", u"Copy MAC address", u"\u590D\u5236 MAC \u5730\u5740"},  // "复制 MAC 地址"
        {u"menu_copy_row", u"Copy row", u"\u590D\u5236\u6574\u884C"},               // "复制整行"
        {u"menu_wake", u"Wake up", u"\u5524\u9192"},                                // "唤醒"
        {u"menu_export", u"Export list\u2026", u"\u5BFC\u51FA\u5217\u8868\u2026"},  // "导出列表…"
        {u"Export_Title", u"Export list", u"\u5BFC\u51FA\u5217\u8868"},             // "导出列表"
        {u"Status_PageFailed", u"Cannot open the web page of %1: %2",
         u"\u65E0\u6CD5\u6253\u5F00 %1 \u7684\u7F51\u9875\uFF1A%2"},  // "无法打开 %1 的网页：%2"
        {u"Reason_BadAddress", u"\"%1\" is no page address",
         u"\u201C%1\u201D\u4E0D\u662F\u6709\u6548\u7684\u7F51\u9875\u5730\u5740"},  // "“%1”不是有效的网页地址"
        {u"Reason_NoBrowser", u"no web browser is set up",
         u"\u6CA1\u6709\u8BBE\u7F6E\u7F51\u9875\u6D4F\u89C8\u5668"},       // "没有设置网页浏览器"
        {u"Status_Copied", u"Copied: %1", u"\u5DF2\u590D\u5236\uFF1A%1"},  // "已复制：%1"
        {u"Status_WakeSent", u"Wake-up packet sent to %1",
         u"\u5DF2\u5411 %1 \u53D1\u9001\u5524\u9192\u5305"},  // "已向 %1 发送唤醒包"
        {u"Status_WakeFailed", u"Waking %1 failed: %2", u"\u5524\u9192 %1 \u5931\u8D25\uFF1A%2"},  // "唤醒 %1 失败：%2"
        {u"Status_Exported", u"%1 servers exported to %2",
         u"\u5DF2\u5C06 %1 \u53F0\u670D\u52A1\u5668\u5BFC\u51FA\u5230 %2"},  // "已将 %1 台服务器导出到 %2"
        {u"Status_ExportFailed", u"Cannot export to %1: %2",
         u"\u65E0\u6CD5\u5BFC\u51FA\u5230 %1\uFF1A%2"},  // "无法导出到 %1：%2"
        {u"Tip_LastHeard", u"Last heard %1 s ago", u"%1 \u79D2\u524D\u6700\u540E\u5E94\u7B54"},  // "%1 秒前最后应答"
        // Why nothing was found, and how to reach servers beyond the broadcast.
        {u"menu_find_address", u"Find by address\u2026", u"\u6309\u5730\u5740\u67E5\u627E\u2026"},  // "按地址查找…"
        {u"menu_diagnostics", u"Diagnostics\u2026", u"\u8BCA\u65AD\u2026"},                         // "诊断…"
        {u"Status_Searching", u"Searching\u2026", u"\u6B63\u5728\u641C\u7D22\u2026"},               // "正在搜索…"
        {u"Status_Stopped", u"Stopped", u"\u5DF2\u505C\u6B62"},                                     // "已停止"
        {u"Status_PortInUse", u"UDP port %1 is in use by %2: no reply can come in",
         u"UDP \u7AEF\u53E3 %1 \u88AB %2 \u5360\u7528\uFF0C\u6536\u4E0D\u5230\u5E94\u7B54"},  // "UDP 端口 %1 被 %2
                                                                                              // 占用，收不到应答"
        {u"Holder_Unknown", u"another program", u"\u5176\u4ED6\u7A0B\u5E8F"},                   // "其他程序"
        {u"Holder_OtherUser", u"a program of user %1", u"\u7528\u6237 %1 \u7684\u7A0B\u5E8F"},  // "用户 %1 的程序"
        {u"Status_ListenFailed", u"Cannot listen on UDP port %1: %2",
         u"\u65E0\u6CD5\u76D1\u542C UDP \u7AEF\u53E3 %1\uFF1A%2"},  // "无法监听 UDP 端口 %1：%2"
        {u"Status_NoTray", u"No tray to hide in here: the window stays open; Exit (Ctrl+Q) ends Vindrel",
         u"\u6B64\u684C\u9762\u6CA1\u6709\u6258\u76D8\uFF1A\u7A97\u53E3\u4FDD\u6301\u6253\u5F00\uFF0C\u9000\u51FA\uFF08Ctrl+Q\uFF09\u7ED3\u675F Vindrel"},  // "此桌面没有托盘：窗口保持打开，退出（Ctrl+Q）结束 Vindrel"
        {u"Status_NoNetwork", u"No network: no IPv4 address is up",
         u"\u65E0\u7F51\u7EDC\uFF1A\u6CA1\u6709\u53EF\u7528\u7684 IPv4 \u5730\u5740"},  // "无网络：没有可用的 IPv4
                                                                                        // 地址"
        {
            u"Hint_NothingFound",
            u"No server has answered yet. Usually a firewall on this computer drops the replies, or the servers are on "
            u"another network.",
            u"\u8FD8\u6CA1\u6709\u670D\u52A1\u5668\u5E94\u7B54\u3002\u901A\u5E38\u662F\u672C\u673A\u9632\u706B\u5899"
            u"\u62E6\u622A\u4E86\u5E94\u7B54\uFF0C\u6216\u8005\u670D\u52A1\u5668\u5728\u5176\u4ED6\u7F51\u7EDC\u4E2D"
            u"\u3002"},  // "还没有服务器应答。通常是本机防火墙拦截了应答，或者服务器在其他网络中。"
        {u"Targets_Title", u"Find by address", u"\u6309\u5730\u5740\u67E5\u627E"},  // "按地址查找"
        {u"Targets_Intro",
         u"Servers on another network answer probes sent to their address. Add an address (10.20.0.7), a block "
         u"(10.20.0.0/24) or a range (10.20.0.5-10.20.0.40); they are probed from the next round on and remembered.",
         u"\u5176\u4ED6\u7F51\u7EDC\u4E2D\u7684\u670D\u52A1\u5668\u4F1A\u5E94\u7B54\u53D1\u5F80\u5176\u5730\u5740\u7684"
         u"\u63A2\u6D4B\u3002\u53EF\u6DFB\u52A0\u5730\u5740\uFF0810.20.0.7\uFF09\u3001\u5730\u5740\u5757\uFF0810.20.0."
         u"0/"
         u"24\uFF09\u6216\u5730\u5740\u8303\u56F4\uFF0810.20.0.5-10.20.0."
         u"40\uFF09\uFF1B\u4ECE\u4E0B\u4E00\u8F6E\u8D77\u5F00\u59CB\u63A2\u6D4B\uFF0C\u5E76\u4F1A\u88AB\u8BB0\u4F4F"
         u"\u3002"},  // "其他网络中的服务器会应答发往其地址的探测。可添加地址（10.20.0.7）、地址块（10.20.0.0/24）或地址范围（10.20.0.5-10.20.0.40）；从下一轮起开始探测，并会被记住。"
        {u"Targets_Placeholder", u"Address, block or range",
         u"\u5730\u5740\u3001\u5730\u5740\u5757\u6216\u8303\u56F4"},  // "地址、地址块或范围"
        {u"Targets_Add", u"Add", u"\u6DFB\u52A0"},                    // "添加"
        {u"Targets_Remove", u"Remove", u"\u5220\u9664"},              // "删除"
        {u"Targets_Bad", u"Not an address, block or range: %1",
         u"\u4E0D\u662F\u6709\u6548\u7684\u5730\u5740\u3001\u5730\u5740\u5757\u6216\u8303\u56F4\uFF1A%1"},  // "不是有效的地址、地址块或范围：%1"
        {u"Targets_Good", u"%1 address(es)", u"%1 \u4E2A\u5730\u5740"},  // "%1 个地址"
        {u"Dialog_OK", u"OK", u"\u786E\u5B9A"},                          // "确定"
        {u"Dialog_Cancel", u"Cancel", u"\u53D6\u6D88"},                  // "取消"
        {u"Dialog_Close", u"Close", u"\u5173\u95ED"},                    // "关闭"
        {u"Dialog_Copy", u"Copy", u"\u590D\u5236"},                      // "复制"
        {u"Diagnostics_Title", u"Diagnostics", u"\u8BCA\u65AD"},         // "诊断"
        {u"Diagnostics_Checking", u"Checking the adapters, the reply port and the firewall\u2026",
         u"\u6B63\u5728\u68C0\u67E5\u7F51\u7EDC\u9002\u914D\u5668\u3001\u5E94\u7B54\u7AEF\u53E3\u548C\u9632\u706B\u5899"
         u"\u2026"},  // "正在检查网络适配器、应答端口和防火墙…"
        // What the program remembers of servers: the Known servers view, History…, Watch, the settings and the event line.
        {u"menu_known", u"Known servers\u2026", u"\u5DF2\u77E5\u670D\u52A1\u5668\u2026"},  // "已知服务器…"
        {u"menu_settings", u"Settings\u2026", u"\u8BBE\u7F6E\u2026"},  // "设置…"
        {u"menu_watch", u"Watch", u"\u5173\u6CE8"},  // "关注"
        {u"menu_history", u"History\u2026", u"\u5386\u53F2\u8BB0\u5F55\u2026"},  // "历史记录…"
        {u"menu_forget", u"Forget", u"\u5FD8\u8BB0"},  // "忘记"
        {u"Known_Title", u"Known servers", u"\u5DF2\u77E5\u670D\u52A1\u5668"},  // "已知服务器"
        {u"KnownList_Name", u"Known servers", u"\u5DF2\u77E5\u670D\u52A1\u5668"},  // "已知服务器"
        {u"KnownList_Desc", u"Every server heard so far; the ones not answering now are dimmed. The menu key shows what can be done with one.", u"\u81F3\u4ECA\u5E94\u7B54\u8FC7\u7684\u6240\u6709\u670D\u52A1\u5668\uFF1B\u5F53\u524D\u672A\u5E94\u7B54\u7684\u663E\u793A\u4E3A\u7070\u8272\u3002\u83DC\u5355\u952E\u663E\u793A\u53EF\u8FDB\u884C\u7684\u64CD\u4F5C\u3002"},  // "至今应答过的所有服务器；当前未应答的显示为灰色。菜单键显示可进行的操作。"
        {u"known_Name", u"Name", u"\u540D\u79F0"},  // "名称"
        {u"known_Address", u"Last address", u"\u6700\u540E\u5730\u5740"},  // "最后地址"
        {u"known_Version", u"Version", u"\u7248\u672C"},  // "版本"
        {u"known_Id", u"Identity", u"\u6807\u8BC6"},  // "标识"
        {u"known_Seen", u"Seen", u"\u51FA\u73B0"},  // "出现"
        {u"known_Watched", u"Watched", u"\u5173\u6CE8"},  // "关注"
        {u"Known_Answering", u"answering now at %1", u"\u6B63\u5728\u5E94\u7B54\uFF0C\u5730\u5740 %1"},  // "正在应答，地址 %1"
        {u"Known_LastSeen", u"last seen %1 at %2", u"\u6700\u540E\u51FA\u73B0\u4E8E %1\uFF0C\u5730\u5740 %2"},  // "最后出现于 %1，地址 %2"
        {u"Known_Count", u"%1 known, %2 answering", u"\u5DF2\u77E5 %1 \u53F0\uFF0C%2 \u53F0\u6B63\u5728\u5E94\u7B54"},  // "已知 %1 台，%2 台正在应答"
        {u"History_Title", u"History of %1", u"%1 \u7684\u5386\u53F2\u8BB0\u5F55"},  // "%1 的历史记录"
        {u"history_When", u"When", u"\u65F6\u95F4"},  // "时间"
        {u"history_What", u"What happened", u"\u4E8B\u4EF6"},  // "事件"
        {u"History_None", u"Nothing has been recorded for this server.", u"\u6B64\u670D\u52A1\u5668\u8FD8\u6CA1\u6709\u8BB0\u5F55\u3002"},  // "此服务器还没有记录。"
        {u"History_Unavailable", u"History is not kept: %1", u"\u672A\u4FDD\u5B58\u5386\u53F2\u8BB0\u5F55\uFF1A%1"},  // "未保存历史记录：%1"
        {u"Event_Found", u"%1 found at %2", u"\u53D1\u73B0 %1\uFF0C\u5730\u5740 %2"},  // "发现 %1，地址 %2"
        {u"Event_Moved", u"%1 moved from %2 to %3", u"%1 \u4ECE %2 \u79FB\u5230 %3"},  // "%1 从 %2 移到 %3"
        {u"Event_Renamed", u"%1 renamed from %2 to %3", u"%1 \u4ECE %2 \u6539\u540D\u4E3A %3"},  // "%1 从 %2 改名为 %3"
        {u"Event_Version", u"%1 changed version from %2 to %3", u"%1 \u7248\u672C\u4ECE %2 \u53D8\u4E3A %3"},  // "%1 版本从 %2 变为 %3"
        {u"Event_Rebooted", u"%1 restarted (up time %2, was %3)", u"%1 \u5DF2\u91CD\u542F\uFF08\u4E0A\u7EBF\u65F6\u95F4 %2\uFF0C\u4E4B\u524D %3\uFF09"},  // "%1 已重启（上线时间 %2，之前 %3）"
        {u"Event_Silent", u"%1 has not answered for %2", u"%1 \u5DF2 %2 \u6CA1\u6709\u5E94\u7B54"},  // "%1 已 %2 没有应答"
        {u"Event_Back", u"%1 is back at %2", u"%1 \u5DF2\u6062\u590D\u5E94\u7B54\uFF0C\u5730\u5740 %2"},  // "%1 已恢复应答，地址 %2"
        {u"Event_BackVersion", u"%1 is back (%2 \u2192 %3)", u"%1 \u5DF2\u6062\u590D\u5E94\u7B54\uFF08%2 \u2192 %3\uFF09"},  // "%1 已恢复应答（%2 → %3）"
        {u"Event_Conflict", u"%1 at %2 sends the Korvan ID of the server at %3", u"%2 \u4E0A\u7684 %1 \u4E0E %3 \u4E0A\u7684\u670D\u52A1\u5668\u4F7F\u7528\u540C\u4E00 Korvan \u6807\u8BC6"},  // "%2 上的 %1 与 %3 上的服务器使用同一 Korvan 标识"
        {u"Duration_Seconds", u"%1 s", u"%1 \u79D2"},  // "%1 秒"
        {u"Duration_Minutes", u"%1 min", u"%1 \u5206\u949F"},  // "%1 分钟"
        {u"Duration_Hours", u"%1 h", u"%1 \u5C0F\u65F6"},  // "%1 小时"
        {u"Settings_Title", u"Settings", u"\u8BBE\u7F6E"},  // "设置"
        {u"Settings_Notify", u"Notify me when", u"\u5728\u4EE5\u4E0B\u60C5\u51B5\u901A\u77E5\u6211"},  // "在以下情况通知我"
        {u"Settings_New", u"a new server is found", u"\u53D1\u73B0\u65B0\u670D\u52A1\u5668"},  // "发现新服务器"
        {u"Settings_Silent", u"a watched server stops answering", u"\u5173\u6CE8\u7684\u670D\u52A1\u5668\u505C\u6B62\u5E94\u7B54"},  // "关注的服务器停止应答"
        {u"Settings_Back", u"a watched server comes back", u"\u5173\u6CE8\u7684\u670D\u52A1\u5668\u6062\u590D\u5E94\u7B54"},  // "关注的服务器恢复应答"
        {u"Settings_Moved", u"a watched server moves to another address", u"\u5173\u6CE8\u7684\u670D\u52A1\u5668\u66F4\u6362\u5730\u5740"},  // "关注的服务器更换地址"
        {u"Settings_SilentAfter", u"A server counts as silent after", u"\u670D\u52A1\u5668\u65E0\u5E94\u7B54\u591A\u4E45\u7B97\u4F5C\u6C89\u9ED8"},  // "服务器无应答多久算作沉默"
        {u"Settings_SecondsSuffix", u" s", u" \u79D2"},  // " 秒"
        {u"Status_Forgot", u"Forgot %1", u"\u5DF2\u5FD8\u8BB0 %1"},  // "已忘记 %1"
        {u"Status_SettingsFailed", u"Cannot save the settings to %1", u"\u65E0\u6CD5\u5C06\u8BBE\u7F6E\u4FDD\u5B58\u5230 %1"},  // "无法将设置保存到 %1"
};

// vindrel-scan's own lines for people, in the language the window would
// take from the same locale.
constexpr CatalogueRow kScannerRows[] = {
    {u"Scan_NothingFound", u"no server answered within %1 s; `vindrel-scan --diagnose` tells why",
     u"%1 \u79D2\u5185\u6CA1\u6709\u670D\u52A1\u5668\u5E94\u7B54\uFF1B`vindrel-scan --diagnose` "
     u"\u4F1A\u8BF4\u660E\u539F\u56E0"},  // "%1 秒内没有服务器应答；`vindrel-scan --diagnose` 会说明原因"
};

constexpr CatalogueRow kMessageWindowRows[] = {
    {u"Msg_title", u"Vindrel", u"Vindrel"},
    {u"OK_Btn", u"OK", u"\u786E  \u5B9A"},          // "确  定"
    {u"Cancel_Btn", u"Cancel", u"\u53D6  \u6D88"},  // "取  消"
    {u"Find_Running_Msg", u"Vindrel has been running...",
     u"Vindrel \u5DF2\u7ECF\u5728\u8FD0\u884C\u4E86"},  // "Vindrel 已经在运行了"
};

constexpr char16_t FoldAscii(char16_t c)
{
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Whole text against whole text; only ASCII letters fold, every other code
// unit must match exactly (the keys are ASCII).
bool EqualIgnoringCase(const char16_t* a, const char16_t* b)
{
    for (; *a && *b; ++a, ++b) {
        if (FoldAscii(*a) != FoldAscii(*b))
            return false;
    }
    return *a == *b;
}

std::span<const CatalogueRow> RowsOf(TextTable table)
{
    switch (table) {
    case TextTable::MainWindow: return kMainWindowRows;
    case TextTable::MessageWindow: return kMessageWindowRows;
    case TextTable::Scanner: return kScannerRows;
    }
    return {};
}

}  // namespace

const char16_t* QueryCatalogueText(TextTable table, const char16_t* key, std::u16string_view language)
{
    if (!key)
        return nullptr;
    // Exact comparison: the program only ever sets lower-case codes, so a
    // hand-edited "EN" in lang.xml selects Chinese like any other code.
    const bool english = language == kLanguageEnglish;
    for (const CatalogueRow& row : RowsOf(table)) {
        if (EqualIgnoringCase(key, row.key))
            return english ? row.english : row.chinese;
    }
    return nullptr;
}
