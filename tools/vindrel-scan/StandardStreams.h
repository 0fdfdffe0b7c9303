#pragma once

#include <string>

// vindrel-scan's standard streams, which differ by system. Call
// PrepareStandardStreams first thing in main.
//
// POSIX: a reader that goes away (| head) makes writes fail, which is
// handled, instead of killing the process (SIGPIPE ignored); standard
// descriptors the caller closed are taken by /dev/null before anything opens
// a socket, or a socket would become "standard output".
// Windows: standard output and error are binary, so that the CSV rows keep
// their "\r\n" (text mode would make it "\r\r\n").
//
// Returns the error that writing to standard output will meet (0: none).
int PrepareStandardStreams();

// The text of an error the discovery engine reports (its system's numbers:
// errno, or on Windows a Windows Sockets code).
std::string EngineErrorText(int error);
