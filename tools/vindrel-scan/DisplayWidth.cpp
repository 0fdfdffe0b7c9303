#include "DisplayWidth.h"

#include "base/Utf8Codec.h"

#include <utf8proc.h>

int CodePointWidth(char32_t c)
{
    if (c == 0)
        return 0;
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return -1;
    // Hangul medial vowels and final consonants join the syllable that the
    // initial before them starts, as terminals draw them (utf8proc counts
    // each as a cell of its own).
    if ((c >= 0x1160 && c <= 0x11FF) || (c >= 0xD7B0 && c <= 0xD7FF))
        return 0;
    // The ideograph planes are wide throughout, also where a newer Unicode
    // than utf8proc's has assigned them.
    if (c >= 0x20000 && c <= 0x3FFFD)
        return 2;
    return utf8proc_charwidth(static_cast<utf8proc_int32_t>(c));
}

std::size_t DisplayWidth(std::string_view utf8)
{
    std::size_t width = 0;
    // A byte that starts no valid sequence is shown as one replacement
    // character, and a control as one question mark: a cell each.
    for (const char32_t c : DecodeUtf8CodePoints(utf8)) {
        const int cells = CodePointWidth(c);
        width += cells < 0 ? 1 : static_cast<std::size_t>(cells);
    }
    return width;
}
