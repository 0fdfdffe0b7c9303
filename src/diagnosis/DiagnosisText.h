#pragma once

#include <functional>
#include <span>
#include <string>
#include <string_view>

// The "why is the list empty" report in the window's language. The report is
// made in the discovery layer from a table of phrases, each under a stable
// key with {placeholders} ("cause.firewall-drops"); this is the Simplified
// Chinese of every one of them, under the same keys. Names of programs and
// protocols (nftables, ufw, firewalld, UDP, pid, DHCP, VPN) and command
// lines stay as they are, for they are what a person types or searches for.
//
// i18n does not link discovery: the keys are plain strings here, and a test
// that links both holds the two tables together.

struct DiagnosisTranslation
{
    std::string_view key;
    std::u8string_view chinese;  // the same {placeholders} as the English
};

std::span<const DiagnosisTranslation> DiagnosisChinese();

// Given a phrase's key and its English text, the text to show: the same
// signature as the report's PhraseLookup, so the result can be handed to
// Diagnose as it is.
using DiagnosisTextLookup = std::function<std::string(std::string_view key, std::string_view english)>;

// The lookup for `language` as the window keeps it (i18n/TextCatalogue.h):
// exactly "en" keeps the English; every other value gives the Chinese, and
// the English for a key the table does not hold. Pure: the lookup may be
// called on any thread, and outlive this call.
DiagnosisTextLookup DiagnosisTextFor(std::u16string_view language);
