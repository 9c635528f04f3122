#pragma once
#include <QByteArray>
#include <QtGlobal>

// Decoded at 1/8, a JPEG block becomes one pixel made from its DC coefficient
// alone. A progressive JPEG keeps its DC coefficients in scans of their own,
// and the AC scans (most of the file) cost almost all of the decoding time, so
// for a 1/8 decode we hand the decoder a copy without the AC scans of every
// full-resolution component. Components stored at reduced resolution (chroma)
// keep all their scans: the decoder may scale those up through the IDCT.
//
// Returns that copy, or an empty array when the file is not a cleanly built
// progressive Huffman JPEG (then it is decoded as it is), nothing would be
// dropped, or it has more than `maxScans` scans: a file the full decode
// refuses is refused at 1/8 too. The copy decodes at 1/8 to exactly the
// same pixels.
QByteArray jpegScansForEighth(const uchar *data, qint64 size, int maxScans);
