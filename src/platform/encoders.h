#pragma once
#include "failure.h"
#include <QByteArray>
#include <QImage>

// Encoders for thumbnails, working from memory. Each returns the whole file,
// or an empty array with `why` set (FailureCode::EncoderFailed).

// A 24-bit Windows bitmap.
QByteArray encodeBmp(const QImage &image, Failure *why = nullptr);
// JPEG through Qt's writer (libjpeg-turbo), quality 1..100, optimised Huffman tables.
QByteArray encodeJpeg(const QImage &image, int quality, Failure *why = nullptr);
// GIF: a real palette quantiser with dithering (libimagequant) and giflib.
QByteArray encodeGif(const QImage &image, Failure *why = nullptr);
