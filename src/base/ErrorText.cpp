#include "base/ErrorText.h"

#include <cstring>

std::string ErrorText(int error)
{
    // strerrordesc_np: untranslated, and no shared buffer as strerror has.
    const char* text = error > 0 ? strerrordesc_np(error) : nullptr;
    return text ? std::string(text) : "error " + std::to_string(error);
}
