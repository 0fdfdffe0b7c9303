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
constexpr CatalogueRow kMainWindowRows[] = {
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
    {u"Current_Evnent", u"Current Evnent:", u"\u5F53\u524D\u4E8B\u4EF6\uFF1A"},              // "当前事件："
    {u"Found_Server", u"Found Korvan Server ", u"\u627E\u5230 Korvan \u670D\u52A1\u5668 "},  // "找到 Korvan 服务器 "
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
