#pragma once
#include "page.h"

// The modern page "bilder.html" as bytes: HTML5 in UTF-8, for any screen
// from a phone up. The thumbnails stand in a grid of the chosen number of
// columns on a wide screen (two on a phone, one on a very narrow one), each
// a link to its picture; with JavaScript a viewer shows the pictures large,
// with previous and next by button, arrow key and swipe. Everything is in
// the one file: the page asks for nothing outside its folder.
QByteArray renderModernPage(const PageSettings &settings, const QList<GalleryEntry> &entries);
