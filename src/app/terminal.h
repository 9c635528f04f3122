#pragma once
#include <QString>
#include <cstdio>

// Text for a terminal, or whatever standard output and error are.

// Writes text to standard output or error at once, in the locale's encoding.
// False when it could not be written (a full disk, a closed stream); errno
// says why.
bool printTo(FILE *stream, const QString &text);

// A line as a terminal shows it safely: control characters escaped (\n,
// \e, \x01), so a name cannot move the cursor, retitle the window or split
// its report line in two; bytes that are not text as \xHH.
QString shownInShell(const QString &text);
