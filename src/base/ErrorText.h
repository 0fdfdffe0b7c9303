#pragma once

#include <string>

// The English text of a system error number, e.g. "Network is unreachable",
// whatever the locale (reports and one-line errors are English), and safe
// from any thread. "error N" for a number the system does not know. The
// number is an errno value on POSIX; on Windows a system or Windows Sockets
// error code (GetLastError, WSAGetLastError), in UTF-8 and in the system's
// own language where it has no English text.
std::string ErrorText(int error);
