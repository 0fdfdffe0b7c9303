#include "mainwnd/ServerPageAddress.h"

#include <gtest/gtest.h>

namespace {

struct AddressCase
{
    const char* why;
    const char16_t* ip;
    const char16_t* port;
    const char16_t* address;  // nullptr: no page is opened
};

const AddressCase kCases[] = {
    {"an ordinary server", u"192.168.1.5", u"8000", u"http://192.168.1.5:8000"},
    {"an empty port keeps the trailing colon", u"192.168.1.5", u"", u"http://192.168.1.5:"},
    {"the highest port", u"10.0.0.1", u"65535", u"http://10.0.0.1:65535"},
    {"the lowest port", u"10.0.0.1", u"1", u"http://10.0.0.1:1"},
    {"userinfo syntax would send the browser elsewhere", u"10.0.0.1", u"80@elsewhere.example", nullptr},
    {"a path after the port", u"10.0.0.1", u"80/admin", nullptr},
    {"a sign is not a port", u"10.0.0.1", u"+80", nullptr},
    {"a leading space is not trimmed", u"10.0.0.1", u" 80", nullptr},
    {"a trailing CR from a CR LF reply", u"10.0.0.1", u"8080\r", nullptr},
    {"port zero", u"10.0.0.1", u"0", nullptr},
    {"one above the range", u"10.0.0.1", u"65536", nullptr},
    {"digits that overflow an int", u"10.0.0.1", u"99999999999", nullptr},
    {"full-width digits", u"10.0.0.1", u"\uFF18\uFF10", nullptr},
    {"a host name instead of an address", u"elsewhere.example", u"80", nullptr},
    {"an address with a port inside", u"10.0.0.1:81", u"80", nullptr},
    {"three parts", u"10.0.1", u"80", nullptr},
    {"a part above 255", u"10.0.0.256", u"80", nullptr},
    {"an empty part", u"10..0.1", u"80", nullptr},
    {"no address at all", u"", u"80", nullptr},
};

TEST(ServerPageAddress, OnlyDecimalPortsOfDottedAddresses)
{
    for (const AddressCase& c : kCases) {
        SCOPED_TRACE(c.why);
        const std::optional<QString> address = ServerPageAddress(QStringView(c.ip), QStringView(c.port));
        if (c.address == nullptr)
            EXPECT_FALSE(address.has_value()) << address->toStdString();
        else
            EXPECT_EQ(address.value_or(QString()), QString::fromUtf16(c.address));
    }
}

}  // namespace
