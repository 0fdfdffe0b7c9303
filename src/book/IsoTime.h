#pragma once

#include <chrono>
#include <string>

// "2026-12-11T16:22:05Z": UTC, whole seconds, the same in every locale.
std::string FormatIsoUtc(std::chrono::system_clock::time_point at);
