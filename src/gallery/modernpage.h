#pragma once
#include "page.h"

// The modern page "bilder.html" as bytes: HTML5 in UTF-8, for any screen
// from a phone up. The thumbnails stand in a grid of the chosen number of
// columns on a wide screen (two on a phone, one on a very narrow one), each
// a link to its picture; with JavaScript a viewer shows the pictures large,
// with previous and next by button, arrow key and swipe. Everything is in
// the one file: the page asks for nothing outside its folder.
// Where an album page stands in the tree of albums: the way back up (each
// folder above it, from the top, with its link relative to this page) and a
// card for each album below it.
struct AlbumView {
    struct Crumb {
        QString name;
        QString href;
    };
    struct Card {
        QString name;       // the folder's name
        QString href;       // its page, relative to this one
        QString cover;      // a thumbnail, relative to this page; or empty
        QSize coverSize;
        int pictures = 0;   // in it and below it
        QDateTime first, last;
    };
    QList<Crumb> crumbs;
    QList<Card> cards;
};

QByteArray renderModernPage(const PageSettings &settings, const QList<GalleryEntry> &entries,
                            const AlbumView &album = {});
