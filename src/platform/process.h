#pragma once

// Settings that belong to the whole process, made once by main() before any
// picture is read: the decoder's allocation limit, how freed decode buffers
// go back to the system, and a file-size limit that is an error, not death.
void initPictureProcess();
