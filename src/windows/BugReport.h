#pragma once
// System information for the log (and, later, the bug report window).

// Writes the operating system, browser, add-ons, program path and the
// registration of the browser interface to the log, once at start.
void LogSystemInfo();
