#pragma once
// The block of system information that the log carries from the start of
// every run, so that a bug report's attached log says what machine it came from.

// Writes the operating system, browser, add-ons, program path and the
// registration of the browser interface to the log, once at start.
void LogSystemInfo();
