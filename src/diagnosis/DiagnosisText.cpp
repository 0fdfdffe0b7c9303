#include "diagnosis/DiagnosisText.h"

#include "i18n/TextCatalogue.h"

namespace {

// Written as escapes so that no editor or encoding step can change them;
// each row's comment shows the text.
constexpr DiagnosisTranslation kChinese[] = {
    // "已搜索 {seconds} 秒：没有服务器应答。"
    {"summary.none", u8"\u5DF2\u641C\u7D22 {seconds} \u79D2\uFF1A\u6CA1\u6709\u670D\u52A1\u5668\u5E94\u7B54\u3002"},
    // "已搜索 {seconds} 秒：收到 {count} 个应答。"
    {"summary.some", u8"\u5DF2\u641C\u7D22 {seconds} \u79D2\uFF1A\u6536\u5230 {count} \u4E2A\u5E94\u7B54\u3002"},
    // "网络适配器"
    {"heading.adapters", u8"\u7F51\u7EDC\u9002\u914D\u5668"},
    // "监听端口"
    {"heading.listener", u8"\u76D1\u542C\u7AEF\u53E3"},
    // "防火墙"
    {"heading.firewall", u8"\u9632\u706B\u5899"},
    // "可能的原因，最可能的在前"
    {"heading.causes", u8"\u53EF\u80FD\u7684\u539F\u56E0\uFF0C\u6700\u53EF\u80FD\u7684\u5728\u524D"},
    // "{adapter}  {address}/{prefix}  {kind}  已发送探测 {sent} 个，发送错误 {errors} 个{last}，应答 {replies} 个"
    {"adapter.line",
     u8"{adapter}  {address}/{prefix}  {kind}  \u5DF2\u53D1\u9001\u63A2\u6D4B {sent} \u4E2A\uFF0C\u53D1\u9001\u9519"
     u8"\u8BEF {errors} \u4E2A{last}\uFF0C\u5E94\u7B54 {replies} \u4E2A"},
    // "（最近一次：{error}）"
    {"adapter.last-error", u8"\uFF08\u6700\u8FD1\u4E00\u6B21\uFF1A{error}\uFF09"},
    // "没有已启用的 IPv4 网络适配器。"
    {"adapter.none", u8"\u6CA1\u6709\u5DF2\u542F\u7528\u7684 IPv4 \u7F51\u7EDC\u9002\u914D\u5668\u3002"},
    // "发往指定地址的探测：{count} 个"
    {"adapter.unicast", u8"\u53D1\u5F80\u6307\u5B9A\u5730\u5740\u7684\u63A2\u6D4B\uFF1A{count} \u4E2A"},
    // "发往指定地址被拒绝的探测：{count} 个（最近一次：{error}）"
    {"adapter.unicast-refused",
     u8"\u53D1\u5F80\u6307\u5B9A\u5730\u5740\u88AB\u62D2\u7EDD\u7684\u63A2\u6D4B\uFF1A{count} \u4E2A\uFF08\u6700"
     u8"\u8FD1\u4E00\u6B21\uFF1A{error}\uFF09"},
    // "有线"
    {"kind.ethernet", u8"\u6709\u7EBF"},
    // "Wi-Fi"
    {"kind.wireless", u8"Wi-Fi"},
    // "网桥"
    {"kind.bridge", u8"\u7F51\u6865"},
    // "VPN 或隧道"
    {"kind.tunnel", u8"VPN \u6216\u96A7\u9053"},
    // "虚拟网络"
    {"kind.virtual", u8"\u865A\u62DF\u7F51\u7EDC"},
    // "仅有链路本地地址"
    {"kind.link-local", u8"\u4EC5\u6709\u94FE\u8DEF\u672C\u5730\u5730\u5740"},
    // "回环"
    {"kind.loopback", u8"\u56DE\u73AF"},
    // "未知类型"
    {"kind.unknown", u8"\u672A\u77E5\u7C7B\u578B"},
    // "UDP 端口 {port}：尚未打开"
    {"listener.not-started", u8"UDP \u7AEF\u53E3 {port}\uFF1A\u5C1A\u672A\u6253\u5F00"},
    // "UDP 端口 {port}：正在打开"
    {"listener.starting", u8"UDP \u7AEF\u53E3 {port}\uFF1A\u6B63\u5728\u6253\u5F00"},
    // "UDP 端口 {port}：正在监听"
    {"listener.listening", u8"UDP \u7AEF\u53E3 {port}\uFF1A\u6B63\u5728\u76D1\u542C"},
    // "UDP 端口 {port}：被 {holder} 占用"
    {"listener.in-use", u8"UDP \u7AEF\u53E3 {port}\uFF1A\u88AB {holder} \u5360\u7528"},
    // "UDP 端口 {port}：无法打开：{error}"
    {"listener.failed", u8"UDP \u7AEF\u53E3 {port}\uFF1A\u65E0\u6CD5\u6253\u5F00\uFF1A{error}"},
    // The same as the English: a program's name and number are what a person
    // looks for in a task manager.
    {"holder.process", u8"{name} (pid {pid})"},
    // " 和 "
    {"holder.and", u8" \u548C "},
    // "另一用户（{user}）的程序"
    {"holder.other-user", u8"\u53E6\u4E00\u7528\u6237\uFF08{user}\uFF09\u7684\u7A0B\u5E8F"},
    // "另一个程序"
    {"holder.unknown", u8"\u53E6\u4E00\u4E2A\u7A0B\u5E8F"},
    // "未检查防火墙。"
    {"firewall.not-checked", u8"\u672A\u68C0\u67E5\u9632\u706B\u5899\u3002"},
    // "没有防火墙过滤传入的流量。"
    {"firewall.none", u8"\u6CA1\u6709\u9632\u706B\u5899\u8FC7\u6EE4\u4F20\u5165\u7684\u6D41\u91CF\u3002"},
    // "未发现防火墙。"
    {"firewall.nothing-found", u8"\u672A\u53D1\u73B0\u9632\u706B\u5899\u3002"},
    // "{frontend} 丢弃发往 UDP 端口 {port} 的数据{places}。"
    {"firewall.drops",
     u8"{frontend} \u4E22\u5F03\u53D1\u5F80 UDP \u7AEF\u53E3 {port} \u7684\u6570\u636E{places}\u3002"},
    // "{frontend} 允许 UDP 端口 {port} 的数据进入。"
    {"firewall.accepts", u8"{frontend} \u5141\u8BB8 UDP \u7AEF\u53E3 {port} \u7684\u6570\u636E\u8FDB\u5165\u3002"},
    // "{frontend} 已启用；它是否允许 UDP 端口 {port} 的数据进入，取决于其规则未写明的条件（例如服务器的地址）。"
    {"firewall.undecided",
     u8"{frontend} \u5DF2\u542F\u7528\uFF1B\u5B83\u662F\u5426\u5141\u8BB8 UDP \u7AEF\u53E3 {port} \u7684\u6570\u636E"
     u8"\u8FDB\u5165\uFF0C\u53D6\u51B3\u4E8E\u5176\u89C4\u5219\u672A\u5199\u660E\u7684\u6761\u4EF6\uFF08\u4F8B\u5982"
     u8"\u670D\u52A1\u5668\u7684\u5730\u5740\uFF09\u3002"},
    // "{frontend} 已启用，并丢弃所有未被规则允许的数据；没有 root 权限无法读取其规则。"
    {"firewall.default-deny",
     u8"{frontend} \u5DF2\u542F\u7528\uFF0C\u5E76\u4E22\u5F03\u6240\u6709\u672A\u88AB\u89C4\u5219\u5141\u8BB8\u7684"
     u8"\u6570\u636E\uFF1B\u6CA1\u6709 root \u6743\u9650\u65E0\u6CD5\u8BFB\u53D6\u5176\u89C4\u5219\u3002"},
    // "防火墙规则只有 root 才能读取。"
    {"firewall.unreadable", u8"\u9632\u706B\u5899\u89C4\u5219\u53EA\u6709 root \u624D\u80FD\u8BFB\u53D6\u3002"},
    // "防火墙工具未及时响应。"
    {"firewall.no-answer", u8"\u9632\u706B\u5899\u5DE5\u5177\u672A\u53CA\u65F6\u54CD\u5E94\u3002"},
    // "以上内容读自其配置文件；实际生效的规则可能不同。"
    {"firewall.from-config",
     u8"\u4EE5\u4E0A\u5185\u5BB9\u8BFB\u81EA\u5176\u914D\u7F6E\u6587\u4EF6\uFF1B\u5B9E\u9645\u751F\u6548\u7684\u89C4"
     u8"\u5219\u53EF\u80FD\u4E0D\u540C\u3002"},
    // "允许的命令：{command}"
    {"firewall.command", u8"\u5141\u8BB8\u7684\u547D\u4EE4\uFF1A{command}"},
    // "（{places}）"
    {"firewall.places", u8"\uFF08{places}\uFF09"},
    // "搜索已停止：按“搜索”重新接收应答。"
    {"cause.paused",
     u8"\u641C\u7D22\u5DF2\u505C\u6B62\uFF1A\u6309\u201C\u641C\u7D22\u201D\u91CD\u65B0\u63A5\u6536\u5E94\u7B54\u3002"},
    // "UDP 端口 {port} 被 {holder} 占用，因此收不到任何应答。请关闭该程序，然后重新搜索。"
    {"cause.port-in-use",
     u8"UDP \u7AEF\u53E3 {port} \u88AB {holder} \u5360\u7528\uFF0C\u56E0\u6B64\u6536\u4E0D\u5230\u4EFB\u4F55\u5E94"
     u8"\u7B54\u3002\u8BF7\u5173\u95ED\u8BE5\u7A0B\u5E8F\uFF0C\u7136\u540E\u91CD\u65B0\u641C\u7D22\u3002"},
    // "无法打开 UDP 端口 {port}（{error}），因此收不到任何应答。"
    {"cause.listener-failed",
     u8"\u65E0\u6CD5\u6253\u5F00 UDP \u7AEF\u53E3 {port}\uFF08{error}\uFF09\uFF0C\u56E0\u6B64\u6536\u4E0D\u5230"
     u8"\u4EFB\u4F55\u5E94\u7B54\u3002"},
    // "未连接任何 IPv4 网络。请连接网线或 Wi-Fi，然后重新搜索。"
    {"cause.no-ipv4-network",
     u8"\u672A\u8FDE\u63A5\u4EFB\u4F55 IPv4 \u7F51\u7EDC\u3002\u8BF7\u8FDE\u63A5\u7F51\u7EBF\u6216 Wi-Fi\uFF0C\u7136"
     u8"\u540E\u91CD\u65B0\u641C\u7D22\u3002"},
    // "防火墙（{frontend}）丢弃了服务器的应答：应答来自各服务器自己的地址，防火墙不会把它们当作对搜索的回复。允许它们的命令：{command}"
    {"cause.firewall-drops",
     u8"\u9632\u706B\u5899\uFF08{frontend}\uFF09\u4E22\u5F03\u4E86\u670D\u52A1\u5668\u7684\u5E94\u7B54\uFF1A\u5E94"
     u8"\u7B54\u6765\u81EA\u5404\u670D\u52A1\u5668\u81EA\u5DF1\u7684\u5730\u5740\uFF0C\u9632\u706B\u5899\u4E0D\u4F1A"
     u8"\u628A\u5B83\u4EEC\u5F53\u4F5C\u5BF9\u641C\u7D22\u7684\u56DE\u590D\u3002\u5141\u8BB8\u5B83\u4EEC\u7684\u547D"
     u8"\u4EE4\uFF1A{command}"},
    // "防火墙（{frontend}）会丢弃未被规则允许的传入流量，而没有 root
    // 权限无法读取其规则：它很可能丢弃了服务器的应答。允许它们的命令：{command}"
    {"cause.firewall-may-drop",
     u8"\u9632\u706B\u5899\uFF08{frontend}\uFF09\u4F1A\u4E22\u5F03\u672A\u88AB\u89C4\u5219\u5141\u8BB8\u7684\u4F20"
     u8"\u5165\u6D41\u91CF\uFF0C\u800C\u6CA1\u6709 root \u6743\u9650\u65E0\u6CD5\u8BFB\u53D6\u5176\u89C4\u5219\uFF1A"
     u8"\u5B83\u5F88\u53EF\u80FD\u4E22\u5F03\u4E86\u670D\u52A1\u5668\u7684\u5E94\u7B54\u3002\u5141\u8BB8\u5B83\u4EEC"
     u8"\u7684\u547D\u4EE4\uFF1A{command}"},
    // "所有网络适配器都只有链路本地地址（169.254.x.x）：没有 DHCP
    // 服务器为其分配地址，这样无法访问使用普通地址的服务器。"
    {"cause.only-link-local",
     u8"\u6240\u6709\u7F51\u7EDC\u9002\u914D\u5668\u90FD\u53EA\u6709\u94FE\u8DEF\u672C\u5730\u5730\u5740\uFF08169.25"
     u8"4.x.x\uFF09\uFF1A\u6CA1\u6709 DHCP \u670D\u52A1\u5668\u4E3A\u5176\u5206\u914D\u5730\u5740\uFF0C\u8FD9\u6837"
     u8"\u65E0\u6CD5\u8BBF\u95EE\u4F7F\u7528\u666E\u901A\u5730\u5740\u7684\u670D\u52A1\u5668\u3002"},
    // "探测只从虚拟、VPN 或回环适配器（{adapters}）发出，没有经过服务器所在的网络。请连接到该网络。"
    {"cause.only-virtual-adapters",
     u8"\u63A2\u6D4B\u53EA\u4ECE\u865A\u62DF\u3001VPN \u6216\u56DE\u73AF\u9002\u914D\u5668\uFF08{adapters}\uFF09"
     u8"\u53D1\u51FA\uFF0C\u6CA1\u6709\u7ECF\u8FC7\u670D\u52A1\u5668\u6240\u5728\u7684\u7F51\u7EDC\u3002\u8BF7\u8FDE"
     u8"\u63A5\u5230\u8BE5\u7F51\u7EDC\u3002"},
    // "无法通过 {adapter} 发送探测：{error}。"
    {"cause.send-errors", u8"\u65E0\u6CD5\u901A\u8FC7 {adapter} \u53D1\u9001\u63A2\u6D4B\uFF1A{error}\u3002"},
    // "无法向指定地址发送探测：{error}。请检查是否有通往该地址的路由（ip route get ADDRESS）。"
    {"cause.targets-unreachable",
     u8"\u65E0\u6CD5\u5411\u6307\u5B9A\u5730\u5740\u53D1\u9001\u63A2\u6D4B\uFF1A{error}\u3002\u8BF7\u68C0\u67E5"
     u8"\u662F\u5426\u6709\u901A\u5F80\u8BE5\u5730\u5740\u7684\u8DEF\u7531\uFF08ip route get ADDRESS\uFF09\u3002"},
    // "搜索只进行了 {seconds} 秒；服务器通常在一两秒内应答。请多搜索一会儿。"
    {"cause.search-too-short",
     u8"\u641C\u7D22\u53EA\u8FDB\u884C\u4E86 {seconds} \u79D2\uFF1B\u670D\u52A1\u5668\u901A\u5E38\u5728\u4E00\u4E24"
     u8"\u79D2\u5185\u5E94\u7B54\u3002\u8BF7\u591A\u641C\u7D22\u4E00\u4F1A\u513F\u3002"},
    // "防火墙可能丢弃了服务器的应答；其规则只有 root 才能读取（sudo nft list ruleset 可显示）。"
    {"cause.firewall-unknown",
     u8"\u9632\u706B\u5899\u53EF\u80FD\u4E22\u5F03\u4E86\u670D\u52A1\u5668\u7684\u5E94\u7B54\uFF1B\u5176\u89C4\u5219"
     u8"\u53EA\u6709 root \u624D\u80FD\u8BFB\u53D6\uFF08sudo nft list ruleset \u53EF\u663E\u793A\uFF09\u3002"},
    // "发往指定地址的探测也没有得到应答：请检查地址是否正确、服务器是否已开机、能否访问（ping）。"
    {"cause.targets-silent",
     u8"\u53D1\u5F80\u6307\u5B9A\u5730\u5740\u7684\u63A2\u6D4B\u4E5F\u6CA1\u6709\u5F97\u5230\u5E94\u7B54\uFF1A\u8BF7"
     u8"\u68C0\u67E5\u5730\u5740\u662F\u5426\u6B63\u786E\u3001\u670D\u52A1\u5668\u662F\u5426\u5DF2\u5F00\u673A\u3001"
     u8"\u80FD\u5426\u8BBF\u95EE\uFF08ping\uFF09\u3002"},
    // "探测已发出，但没有服务器应答。位于其他子网、VLAN 或 VPN 之后的服务器收不到广播：请按地址搜索（{by-address}）。"
    {"cause.servers-elsewhere",
     u8"\u63A2\u6D4B\u5DF2\u53D1\u51FA\uFF0C\u4F46\u6CA1\u6709\u670D\u52A1\u5668\u5E94\u7B54\u3002\u4F4D\u4E8E\u5176"
     u8"\u4ED6\u5B50\u7F51\u3001VLAN \u6216 VPN \u4E4B\u540E\u7684\u670D\u52A1\u5668\u6536\u4E0D\u5230\u5E7F\u64AD"
     u8"\uFF1A\u8BF7\u6309\u5730\u5740\u641C\u7D22\uFF08{by-address}\uFF09\u3002"},
    // "服务器已应答，一切正常。"
    {"cause.none", u8"\u670D\u52A1\u5668\u5DF2\u5E94\u7B54\uFF0C\u4E00\u5207\u6B63\u5E38\u3002"},
};

std::string Utf8(std::u8string_view text)
{
    return {reinterpret_cast<const char*>(text.data()), text.size()};
}

}  // namespace

std::span<const DiagnosisTranslation> DiagnosisChinese()
{
    return kChinese;
}

DiagnosisTextLookup DiagnosisTextFor(std::u16string_view language)
{
    if (language == kLanguageEnglish)
        return [](std::string_view, std::string_view english) { return std::string(english); };
    return [](std::string_view key, std::string_view english) {
        for (const DiagnosisTranslation& row : kChinese)
            if (row.key == key)
                return Utf8(row.chinese);
        return std::string(english);
    };
}
