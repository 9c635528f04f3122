#pragma once
#include "commandline.h"

// Exit statuses of a run from the shell.
namespace BatchExit {
constexpr int AllWell = 0;
constexpr int Reported = 1;      // some pictures were reported
constexpr int Stopped = 2;       // an error stopped the run, or the settings are wrong
constexpr int Interrupted = 130; // Ctrl+C or SIGTERM
}

// A modern page folder's record remembers how the page was made: a page
// setting the arguments do not give is taken from it, one they change is
// said; both on standard error, through the result's warnings.
CommandLine withRememberedSettings(const QStringList &arguments, const CommandLine &parsed);

// Makes the thumbnails of `inputs` (files and folders, as on the command
// line) with the window's engine and rules, without any window or display:
// the report lines on standard output, errors on standard error, progress on
// standard error when it is a terminal. Returns the exit status.
int runBatch(const BatchSettings &settings, const QStringList &inputs);

// Gives each closed standard stream (started with >&-) something to hold
// its number. Called first thing, before any file is opened.
void holdStandardStreams();

// Says on standard error that standard output could not be written (errno
// `err`) and returns the exit status for it.
int outputLost(int err);
