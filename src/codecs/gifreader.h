#pragma once
#include "decodedimage.h"
#include "pictureheaders.h"

// Decodes the first frame of a GIF (giflib) onto its picture, the logical
// screen of `layout.pictureSize()`: every pixel outside the frame, and every
// pixel of the frame's transparent colour, is transparent. An index beyond
// the colour table is opaque black, as browsers show it. LZW data that fails
// or ends before the frame is full means no picture, not half a one.
//
// The result is RGB32 when every pixel is opaque (the frame covers the
// screen and has no transparent colour), else premultiplied ARGB32.
DecodedImage decodeGif(const uchar *data, qint64 size, const GifLayout &layout);

// Memory decodeGif holds at its peak for this layout: the visible part of
// the frame as colour indices, and the picture.
qint64 gifDecodeBytes(const GifLayout &layout);
