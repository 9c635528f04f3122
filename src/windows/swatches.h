#pragma once
#include "pixels/units.h"
#include <QRgb>
#include <array>

// The 36 background colours of the colour window, row by row as it shows
// them (six columns of six), each with its index in the window's swatch
// array (indexes 28 to 31 were never made), its place in twips and the name
// a screen reader gives it.
struct Swatch {
    int index;
    int left, top;      // twips
    QRgb colour;        // #RRGGBB
    const char *name;
};

inline constexpr std::array<Swatch, 36> Swatches{{
    {0, 120, 1200, 0xFFFFFF, "Vit"},          {10, 840, 1200, 0xE0E0E0, "Ljusgrå"},
    {9, 1560, 1200, 0xC0C0C0, "Silvergrå"},   {8, 2280, 1200, 0x808080, "Grå"},
    {32, 3000, 1200, 0x404040, "Mörkgrå"},    {7, 3720, 1200, 0x000000, "Svart"},
    {6, 120, 1560, 0xFF0000, "Röd"},          {5, 840, 1560, 0xC00000, "Mörkröd"},
    {33, 1560, 1560, 0x800000, "Vinröd"},     {4, 2280, 1560, 0xFFC080, "Ljusorange"},
    {3, 3000, 1560, 0xFF8000, "Orange"},      {2, 3720, 1560, 0xC04000, "Rostbrun"},
    {1, 120, 1920, 0x804040, "Brun"},         {27, 840, 1920, 0xFFFF80, "Ljusgul"},
    {11, 1560, 1920, 0xFFFFC0, "Blekgul"},    {26, 2280, 1920, 0xFFFF00, "Gul"},
    {25, 3000, 1920, 0xC0C000, "Olivgul"},    {21, 3720, 1920, 0x00C000, "Grön"},
    {24, 120, 2280, 0xC0FFC0, "Blekgrön"},    {23, 840, 2280, 0x80FF80, "Ljusgrön"},
    {22, 1560, 2280, 0x00FF00, "Klargrön"},   {15, 2280, 2280, 0xC0C0FF, "Blekblå"},
    {20, 3000, 2280, 0x004000, "Mörkgrön"},   {19, 3720, 2280, 0xC0FFFF, "Blekturkos"},
    {18, 120, 2640, 0x80FFFF, "Ljusturkos"},  {17, 840, 2640, 0x00FFFF, "Turkos"},
    {16, 1560, 2640, 0x00C0C0, "Mörkturkos"}, {37, 2280, 2640, 0xFF00FF, "Magenta"},
    {14, 3000, 2640, 0x8080FF, "Ljusblå"},    {13, 3720, 2640, 0x0000FF, "Blå"},
    {12, 120, 3000, 0x000080, "Marinblå"},    {39, 840, 3000, 0xFFC0FF, "Blekrosa"},
    {38, 1560, 3000, 0xFF80FF, "Rosa"},       {36, 2280, 3000, 0xC000C0, "Violett"},
    {35, 3000, 3000, 0x800080, "Lila"},       {34, 3720, 3000, 0x400040, "Mörklila"},
}};

