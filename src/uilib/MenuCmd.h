#pragma once

#include <cstddef>
#include <cstdint>

// The record a menu posts with message 1145 (wParam) when an item is picked.
// Allocated by the library; the receiver releases it with
// CPaintManagerUI::DeletePtr. UTF-16 fields are zero-terminated (truncated
// to fit).
struct MenuCmd
{
    char16_t Name[256];
    char16_t UserData[1024];
    char16_t Text[1024];
    std::int32_t Checked;  // 0 or 1
};
static_assert(offsetof(MenuCmd, Name) == 0);
static_assert(offsetof(MenuCmd, UserData) == 512);
static_assert(offsetof(MenuCmd, Text) == 2560);
static_assert(offsetof(MenuCmd, Checked) == 4608);
