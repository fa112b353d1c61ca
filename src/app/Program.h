#pragma once
// The program's life as the platform entry drives it:
//   ProgramStartup(); plat::Ui().RunLoop(); ProgramShutdown();
// On Windows RunLoop blocks until the exit sequence ends the loop; the
// simulator drives its own loop and calls ProgramShutdown once
// ProgramLoopEnded() turns true.

// Everything before the message loop: the log, the version, the settings
// key, the languages, the windows (the main window's creation included) and
// finally the enabled timer. Registers the session-end callbacks.
void ProgramStartup();
// Everything after the message loop; safe to call more than once.
void ProgramShutdown();
// The exit sequence has asked the loop to end.
bool ProgramLoopEnded();
// Startup has run and shutdown has not.
bool ProgramRunning();
