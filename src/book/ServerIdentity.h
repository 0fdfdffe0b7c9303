#pragma once

#include "discovery/ServerRecord.h"

#include <string>

// Who a sighting is, as UTF-8 text that stays the same while the server
// changes address, name or version:
//   the Korvan ID, trimmed of surrounding white space, when it is not blank;
//   else "serial:<S>/mac:<M>" when both the serial and the MAC are known;
//   else "mac:<M>";
//   else "ip:<A>" (a server behind a router that says nothing about itself).
// Serial and MAC are trimmed too. A serial without a MAC is not enough:
// two makes of box may number their serials alike.
//
// Two servers that send the same Korvan ID are told apart by the tracker
// (ServerTracker.h), never here: this is a pure function of one record.
std::string ServerIdentity(const ServerRecord& record);

// White space as servers pad their lines with: ASCII blanks, tabs, CR, LF,
// NBSP and the ideographic space.
std::u16string TrimmedField(std::u16string_view text);
