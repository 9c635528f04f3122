#pragma once
#include "files/failure.h"
#include <QByteArray>
#include <QImage>

// A thumbnail's whole file, made in memory, or why the encoder gave up
// (FailureCode::EncoderFailed).
struct Encoded {
    QByteArray file;
    Failure failure;
};

// A 24-bit Windows bitmap.
Encoded encodeBmp(const QImage &image);
// JPEG through Qt's writer (libjpeg-turbo), quality 1..100. Optimised
// Huffman tables make the file about 7 % smaller and its encoding nearly
// three times as slow: worth it for thumbnails, not for large copies.
enum class HuffmanTables { Optimised, Standard };
Encoded encodeJpeg(const QImage &image, int quality, HuffmanTables tables = HuffmanTables::Optimised);
// GIF: a real palette quantiser with dithering (libimagequant) and giflib.
Encoded encodeGif(const QImage &image);
