#include "app/StartupChecks.h"

// Windows gives sockets and files handles, never the numbers of the standard
// streams, so a closed stream cannot be taken over: nothing to reserve.
void KeepStandardStreamsOpen() {}
