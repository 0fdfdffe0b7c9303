#pragma once

#include <cstdio>

struct ScanOptions;

// vindrel-scan --watch: the engine, the tracker (and with --state the book),
// the event lines on `events` and, with --metrics, the HTTP server, until
// SIGINT or SIGTERM. Problems that may pass (the reply port taken, no
// address yet, the book or the HTTP port unavailable) are said once on
// standard error and the watch goes on. Returns the exit code: 0 when
// stopped by a signal, 1 when `events` cannot be written.
int RunWatch(const ScanOptions& options, std::FILE* events);
