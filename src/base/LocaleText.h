#pragma once

#include <optional>
#include <string>
#include <string_view>

// Conversion between the program's UTF-16 text and 8-bit text in the user's
// locale character set (nl_langinfo(CODESET) after setlocale(LC_ALL, "");
// on Windows the ANSI code page, GetACP). Datagrams, lang.xml contents and
// paths handed to C libraries are 8-bit.
//
// The plain C/POSIX locale reports ASCII; it is read as UTF-8, which keeps
// ASCII as ASCII and shows what servers and files on a modern system hold.
// Safe to call from any thread at the same time.

// Never fails: bytes that do not decode become U+FFFD, one per bad byte.
std::u16string DecodeLocal8Bit(std::string_view bytes);

// Text from a server's reply (discovery/ServerRecord.cpp calls it). Servers
// set up from a Chinese Windows machine send their names in GBK, whatever
// the searching machine uses, so under a UTF-8 locale (the plain C locale
// included) each LF-ended line that is valid UTF-8 is read as UTF-8 and any
// other line as GB18030, a superset of GBK. Line by line, because one reply
// mixes sources: a name typed on that machine, the rest from the firmware.
// Under any other locale its own character set applies, as DecodeLocal8Bit.
// Never fails: ASCII stays ASCII, LF stays U+000A, bytes that decode in
// neither become U+FFFD, one per bad byte.
std::u16string DecodeReplyText(std::string_view bytes);

// Empty when the text holds a character the character set cannot express
// (or an unpaired surrogate): such a path or value cannot be written as is.
std::optional<std::string> EncodeLocal8Bit(std::u16string_view text);

// UTF-8 view of UTF-16 text for terminals, logs and JSON: unpaired
// surrogates become U+FFFD.
std::string ToUtf8(std::u16string_view text);
std::u16string FromUtf8(std::string_view bytes);

// The character set DecodeLocal8Bit uses right now, e.g. "UTF-8", "GB18030";
// on Windows "CP936", "CP1252" or "UTF-8".
std::string Local8BitCodeset();
