#pragma once

// Settings that belong to the whole process, made once by main() before any
// picture is read: the decoder's allocation limit, how freed picture buffers
// are kept for the next picture, and a file-size limit that is an error, not
// death.
void initPictureProcess();

// Gives the memory kept for the next picture back to the system; for the end
// of a run. Buffers still in use stay.
void releaseFreeMemory();
