#pragma once

#include <cstddef>
#include <string_view>

// How many terminal cells a code point takes, by utf8proc's Unicode data: 2
// for East Asian Wide and Fullwidth ones (CJK ideographs, kana, Hangul
// syllables, fullwidth forms, most emoji), 0 for combining marks and format
// controls, 1 for the rest; -1 for C0 and C1 controls, which have no width
// of their own.
int CodePointWidth(char32_t c);

// The cells `utf8` takes on a terminal; controls and bytes that are not
// UTF-8 count one each (they are shown as a replacement).
std::size_t DisplayWidth(std::string_view utf8);
