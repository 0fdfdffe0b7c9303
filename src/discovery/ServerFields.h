#pragma once

#include "discovery/ServerRecord.h"

#include <array>
#include <string>
#include <string_view>

// The nine fields of a ServerRecord, described once. Everything that shows,
// writes or reads the fields by position (the list's columns and headers,
// the row template's labels, JSON and CSV) is generated from this table.
// The texts view literals, so each view's data() is NUL-terminated.
struct ServerField
{
    std::u16string ServerRecord::*member;
    std::string_view name;         // JSON key and CSV column: "DeviceType"
    std::u16string_view headerKey; // catalogue key of the column header: "listhead_DeviceType"
    std::u16string_view rowLabel;  // the row template's label: "DEVICETYPELABEL"
};

// In record order: Name, IP, Port, Version, Serial, Mac, DeviceType,
// KorvanID, UpTime. UPTIMEABEL is spelled as the row templates spell it.
inline constexpr std::array<ServerField, ServerRecord::kFieldCount> kServerFields = {{
    {&ServerRecord::Name, "Name", u"listhead_Name", u"NAMELABEL"},
    {&ServerRecord::IP, "IP", u"listhead_IP", u"IPLABEL"},
    {&ServerRecord::Port, "Port", u"listhead_Port", u"PORTLABEL"},
    {&ServerRecord::Version, "Version", u"listhead_Version", u"VERSIONLABEL"},
    {&ServerRecord::Serial, "Serial", u"listhead_Serial", u"SERIALLABEL"},
    {&ServerRecord::Mac, "Mac", u"listhead_Mac", u"MACLABEL"},
    {&ServerRecord::DeviceType, "DeviceType", u"listhead_DeviceType", u"DEVICETYPELABEL"},
    {&ServerRecord::KorvanID, "KorvanID", u"listhead_KorvanID", u"KORVANIDLABEL"},
    {&ServerRecord::UpTime, "UpTime", u"listhead_UpTime", u"UPTIMEABEL"},
}};

enum class ServerColumn { Name, IP, Port, Version, Serial, Mac, DeviceType, KorvanID, UpTime };
