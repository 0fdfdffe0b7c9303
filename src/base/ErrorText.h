#pragma once

#include <string>

// The English text of a system error number, e.g. "Network is unreachable",
// whatever the locale (reports and one-line errors are English), and safe
// from any thread. "error N" for a number the system does not know.
std::string ErrorText(int error);
