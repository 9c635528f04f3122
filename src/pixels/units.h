#pragma once
#include <cmath>
#include <cstdint>

// Window and canvas sizes are twips held in single precision; pictures are
// measured at 96 dpi, so one pixel is 15 twips.
constexpr float TwipsPerPixel = 15.0f;
// The canvas's sunken border: 2 pixels on each side.
constexpr int CanvasBorderPixels = 2;
constexpr float CanvasBorderTwips = CanvasBorderPixels * 2 * TwipsPerPixel; // both sides: 60

// Rounds halves to the even neighbour (the rounding of every conversion here).
inline double roundHalfEven(double v) { return std::nearbyint(v); }

// Whole pixels of a size in twips.
inline int twipsToPixels(float twips) { return int(roundHalfEven(double(twips) / TwipsPerPixel)); }

// Colour value with red in the lowest byte (&H00BBGGRR).
using ColourValue = std::uint32_t;
