#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// --metrics ADDR:PORT: an IPv4 address in dotted decimal and a port from 1
// to 65535, both always given ("127.0.0.1:9475", "0.0.0.0:9475").
struct ListenAddress
{
    std::uint32_t address = 0;  // network byte order
    std::uint16_t port = 0;
    std::string text;           // as given
};

struct ListenAddressParse
{
    std::optional<ListenAddress> value;
    std::string error;  // one line, when value is empty
};

ListenAddressParse ParseListenAddress(std::string_view text);
