#pragma once

#include <QString>
#include <QStringView>
#include <optional>

// The web page of a listed server: "http://" + IP + ":" + port. Both texts
// came over the network, so the address is built only from an IPv4 address
// in dotted decimal and a port that is empty or a decimal number from 1 to
// 65535; anything else ("80@elsewhere.example", "80/../x") could send the
// browser to another host, and gives no address.
std::optional<QString> ServerPageAddress(QStringView ip, QStringView port);
