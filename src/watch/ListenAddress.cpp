#include "watch/ListenAddress.h"

#include "net/SocketApi.h"

#include <algorithm>
#include <charconv>

ListenAddressParse ParseListenAddress(std::string_view text)
{
    const auto fail = [&](std::string why) { return ListenAddressParse{std::nullopt, "'" + std::string(text) + "': " + why}; };
    const auto colon = text.rfind(':');
    if (colon == std::string_view::npos)
        return fail("give an address and a port, such as 127.0.0.1:9475 or 0.0.0.0:9475");
    const std::string host(text.substr(0, colon));
    const std::string_view port = text.substr(colon + 1);
    ListenAddress result;
    result.text = std::string(text);
    in_addr parsed{};
    if (host.empty() || inet_pton(AF_INET, host.c_str(), &parsed) != 1)
        return fail("'" + host + "' is not an IPv4 address");
    result.address = parsed.s_addr;
    unsigned value = 0;
    const bool digits =
        !port.empty() && port.size() <= 5 && std::all_of(port.begin(), port.end(), [](char c) { return c >= '0' && c <= '9'; });
    if (digits)
        std::from_chars(port.data(), port.data() + port.size(), value);
    if (!digits || value < 1 || value > 65535)
        return fail("the port must be a number from 1 to 65535");
    result.port = static_cast<std::uint16_t>(value);
    return {result, {}};
}
