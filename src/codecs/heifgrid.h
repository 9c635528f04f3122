#pragma once
#include "files/failure.h"
#include <QtGlobal>

// Whether a HEIF file whose primary image is a grid holds the whole grid:
// as many tile items as its rows and columns, each with data inside the
// file, together covering the size the grid declares. libheif (1.15)
// paints what it finds over a black canvas and calls that the picture, so a
// few hundred bytes declaring 16384 x 16384 would make a black thumbnail.
// Only the boxes that say so are read, each within its box and within
// fixed bounds. A file that is not a grid, or whose boxes libheif will
// refuse anyway, passes: libheif gives the reason.
Failure checkHeifGrid(const uchar *data, qint64 size);
