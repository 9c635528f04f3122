#pragma once
#include "decodedimage.h"
#include "pictureheaders.h"

// Decodes a BMP whose header has been read and whose pixel data lies in the
// file (bmpPixelsMissing() false).
//
// RLE4 and RLE8 are decoded here: their data may end, skip pixels with delta
// escapes or end lines early, and every pixel it does not set is transparent
// (a picture that sets no pixel at all is no picture). A colour index beyond
// the palette is opaque black. Uncompressed data goes through Qt's reader.
//
// A 32-bit BMP whose alpha values are all 0 is opaque: many tools write 0
// there to mean "no alpha". Any other alpha is kept. The result is RGB32
// when every pixel is opaque, else ARGB32 (premultiplied for RLE).
DecodedImage decodeBmp(const uchar *data, qint64 size, const BmpHeader &header);

// Memory decodeBmp holds at its peak: Qt's image (a byte a pixel or less
// for up to 8 bits, else four) and the conversion to 32 bits a pixel that
// follows it; for RLE only the picture.
qint64 bmpDecodeBytes(const BmpHeader &header);
