// libFuzzer target for firewalld service files (/usr/lib/firewalld/services,
// /etc/firewalld/services). Aborts when a second reading differs, a port is
// not "<port>/<protocol>" with both parts, an include names nothing, or the
// file commented out as a whole still opens a port.

#include "FuzzRules.h"

#include <cstdint>
#include <string>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const FirewalldService service = ParseFirewalldService(text);
    const FirewalldService again = ParseFirewalldService(text);
    FUZZ_CHECK(service.ports == again.ports && service.includes == again.includes);
    for (const std::string& port : service.ports) {
        const auto slash = port.find('/');
        FUZZ_CHECK(slash != std::string::npos && slash > 0 && slash + 1 < port.size());
        FUZZ_CHECK(port.find('/', slash + 1) == std::string::npos);
    }
    for (const std::string& name : service.includes)
        FUZZ_CHECK(!name.empty());
    // XML comments may hold anything but "--".
    if (text.find("--") == std::string_view::npos && !text.ends_with('-')) {
        const FirewalldService hidden = ParseFirewalldService("<service><!--" + std::string(text) + "--></service>");
        FUZZ_CHECK(hidden.ports.empty() && hidden.includes.empty());
    }
    return 0;
}
