#include "heifgrid.h"
#include "decodedimage.h"
#include <QHash>
#include <QList>
#include <limits>

namespace {
// More boxes in one box than a 256 x 256 grid needs: a file past that is
// refused rather than walked. Every box is at least 8 bytes, so what is
// kept never grows beyond the file.
constexpr qsizetype MaxBoxes = 1 << 17;

quint32 fourCC(const char *t) { return quint32(uchar(t[0])) << 24 | uchar(t[1]) << 16 | uchar(t[2]) << 8 | uchar(t[3]); }

// Big-endian fields within [at, end); reading past the end only sets ok to false.
struct Fields {
    const uchar *data;
    qint64 at, end;
    bool ok = true;

    quint64 get(int bytes)
    {
        if (bytes < 0 || bytes > 8 || end - at < bytes) {
            ok = false;
            return 0;
        }
        quint64 v = 0;
        for (int i = 0; i < bytes; ++i)
            v = v << 8 | data[at++];
        return v;
    }
    void skip(qint64 bytes)
    {
        if (bytes < 0 || end - at < bytes)
            ok = false;
        else
            at += bytes;
    }
    // A full box's version; its flags go to `flags`.
    int version(quint32 *flags = nullptr)
    {
        const int v = int(get(1));
        const auto f = quint32(get(3));
        if (flags)
            *flags = f;
        return v;
    }
};

struct Box {
    quint32 type;
    qint64 body, end;
};

// The boxes directly inside [begin, end), up to the first that does not fit
// there; false when one does not.
bool children(const uchar *data, qint64 begin, qint64 end, QList<Box> &out)
{
    for (qint64 at = begin; at < end;) {
        Fields f{data, at, end};
        quint64 size = f.get(4);
        const quint32 type = quint32(f.get(4));
        if (size == 1)
            size = f.get(8);
        else if (size == 0)
            size = quint64(end - at);
        if (!f.ok || out.size() >= MaxBoxes || size < quint64(f.at - at) || size > quint64(end - at))
            return false;
        out << Box{type, f.at, at + qint64(size)};
        at += qint64(size);
    }
    return true;
}

// Where an item's data is, as its 'iloc' entry says.
struct Location {
    int method = 0;              // 0: in the file, 1: in the 'idat' box
    quint64 start = 0, length = 0;   // the first extent (length 0: to the end)
    quint64 end = 0;             // the furthest end of any extent
    bool empty = true;           // no extent at all
};

struct Items {
    quint32 primary = 0;
    bool hasPrimary = false;
    QHash<quint32, quint32> types;
    QHash<quint32, QList<quint32>> tiles;   // grid -> its 'dimg' references
    QHash<quint32, Location> locations;
    QHash<quint32, std::pair<quint64, quint64>> extents;   // item -> its 'ispe' width, height
    qint64 idat = -1, idatSize = 0;
};

quint64 plus(quint64 a, quint64 b) { return b > std::numeric_limits<quint64>::max() - a ? std::numeric_limits<quint64>::max() : a + b; }

bool readInfo(Fields f, const uchar *data, Items &items)
{
    const int v = f.version();
    f.get(v == 0 ? 2 : 4);
    QList<Box> entries;
    if (!f.ok || !children(data, f.at, f.end, entries))
        return false;
    for (const Box &e : std::as_const(entries)) {
        Fields g{data, e.body, e.end};
        const int ev = g.version();
        if (e.type != fourCC("infe") || ev < 2)
            continue;
        const auto id = quint32(g.get(ev == 2 ? 2 : 4));
        g.skip(2);
        const auto type = quint32(g.get(4));
        if (!g.ok)
            return false;
        items.types.insert(id, type);
    }
    return true;
}

bool readReferences(Fields f, const uchar *data, Items &items)
{
    const int idBytes = f.version() == 0 ? 2 : 4;
    QList<Box> refs;
    if (!f.ok || !children(data, f.at, f.end, refs))
        return false;
    for (const Box &r : std::as_const(refs)) {
        if (r.type != fourCC("dimg"))
            continue;
        Fields g{data, r.body, r.end};
        const auto from = quint32(g.get(idBytes));
        const auto count = qint64(g.get(2));
        if (!g.ok || count * idBytes > g.end - g.at)
            return false;
        QList<quint32> &to = items.tiles[from];
        for (qint64 i = 0; i < count; ++i)
            to << quint32(g.get(idBytes));
    }
    return true;
}

bool readLocations(Fields f, Items &items)
{
    const int v = f.version();
    const auto sizes = int(f.get(2));
    const int offsetSize = sizes >> 12 & 15, lengthSize = sizes >> 8 & 15, baseSize = sizes >> 4 & 15;
    const int indexSize = v == 1 || v == 2 ? sizes & 15 : 0;
    for (int s : {offsetSize, lengthSize, baseSize, indexSize})
        if (s != 0 && s != 4 && s != 8)
            return false;
    if (v > 2)
        return false;
    const quint64 count = f.get(v < 2 ? 2 : 4);
    for (quint64 i = 0; i < count && f.ok; ++i) {
        const auto id = quint32(f.get(v < 2 ? 2 : 4));
        Location l;
        if (v >= 1)
            l.method = int(f.get(2) & 15);
        f.skip(2);
        const quint64 base = f.get(baseSize);
        const quint64 extents = f.get(2);
        // Each extent takes at least one byte of the box, unless all its sizes are 0.
        if (extents > 0 && offsetSize + lengthSize + indexSize == 0)
            return false;
        for (quint64 e = 0; e < extents && f.ok; ++e) {
            f.skip(indexSize);
            const quint64 start = plus(base, f.get(offsetSize)), length = f.get(lengthSize);
            if (e == 0) {
                l.start = start;
                l.length = length;
            }
            l.end = qMax(l.end, plus(start, length));
        }
        l.empty = extents == 0;
        items.locations.insert(id, l);
    }
    return f.ok;
}

bool readProperties(Fields f, const uchar *data, Items &items)
{
    QList<Box> boxes;
    if (!children(data, f.at, f.end, boxes))
        return false;
    QList<Box> properties;
    for (const Box &b : std::as_const(boxes))
        if (b.type == fourCC("ipco") && !children(data, b.body, b.end, properties))
            return false;
    for (const Box &b : std::as_const(boxes)) {
        if (b.type != fourCC("ipma"))
            continue;
        Fields g{data, b.body, b.end};
        quint32 flags = 0;
        const int v = g.version(&flags);
        const quint64 count = g.get(4);
        for (quint64 i = 0; i < count && g.ok; ++i) {
            const auto id = quint32(g.get(v < 1 ? 2 : 4));
            const quint64 associations = g.get(1);
            for (quint64 a = 0; a < associations && g.ok; ++a) {
                const quint64 index = g.get(flags & 1 ? 2 : 1) & (flags & 1 ? 0x7fff : 0x7f);
                if (index == 0 || index > quint64(properties.size()) || properties[index - 1].type != fourCC("ispe"))
                    continue;
                Fields p{data, properties[index - 1].body, properties[index - 1].end};
                p.version();
                const quint64 w = p.get(4), h = p.get(4);
                if (p.ok)
                    items.extents.insert(id, {w, h});
            }
        }
        if (!g.ok)
            return false;
    }
    return true;
}

// The bytes of an item's first extent: [from, to) of the file.
bool itemBytes(const Items &items, const Location &l, qint64 size, qint64 &from, qint64 &to)
{
    qint64 begin = 0, limit = size;
    if (l.method == 1) {
        if (items.idat < 0)
            return false;
        begin = items.idat;
        limit = items.idat + items.idatSize;
    } else if (l.method != 0) {
        return false;
    }
    if (l.empty || l.start >= quint64(limit - begin))
        return false;
    from = begin + qint64(l.start);
    to = l.length == 0 ? limit : (l.length > quint64(limit - from) ? -1 : from + qint64(l.length));
    return to > from;
}

// Whether every extent of a tile lies within its source and holds something.
bool inside(const Items &items, const Location &l, qint64 size)
{
    if (l.method > 1)
        return true;   // not judged here: libheif reads such items itself or refuses them
    const quint64 source = l.method == 1 ? (items.idat < 0 ? 0 : quint64(items.idatSize)) : quint64(size);
    qint64 from = 0, to = 0;
    return itemBytes(items, l, size, from, to) && l.end <= source;
}
}

Failure checkHeifGrid(const uchar *data, qint64 size)
{
    QList<Box> top;
    children(data, 0, size, top);   // what follows a broken box is libheif's to refuse
    Items items;
    for (const Box &meta : std::as_const(top)) {
        if (meta.type != fourCC("meta"))
            continue;
        QList<Box> boxes;
        if (meta.end - meta.body < 4 || !children(data, meta.body + 4, meta.end, boxes))
            return damaged(QStringLiteral("HEIF-rutorna går inte att läsa"));
        bool ok = true;
        for (const Box &b : std::as_const(boxes)) {
            Fields f{data, b.body, b.end};
            if (b.type == fourCC("pitm")) {
                const int v = f.version();
                items.primary = quint32(f.get(v == 0 ? 2 : 4));
                items.hasPrimary = f.ok;
            } else if (b.type == fourCC("iinf")) {
                ok = ok && readInfo(f, data, items);
            } else if (b.type == fourCC("iref")) {
                ok = ok && readReferences(f, data, items);
            } else if (b.type == fourCC("iloc")) {
                ok = ok && readLocations(f, items);
            } else if (b.type == fourCC("iprp")) {
                ok = ok && readProperties(f, data, items);
            } else if (b.type == fourCC("idat")) {
                items.idat = b.body;
                items.idatSize = b.end - b.body;
            }
        }
        if (!ok)
            return damaged(QStringLiteral("HEIF-rutorna går inte att läsa"));
        break;
    }
    if (!items.hasPrimary || items.types.value(items.primary) != fourCC("grid"))
        return {};

    const Location grid = items.locations.value(items.primary);
    qint64 from = 0, to = 0;
    if (!items.locations.contains(items.primary) || !itemBytes(items, grid, size, from, to))
        return damaged(QStringLiteral("rutnätets data saknas"));
    Fields g{data, from, to};
    g.get(1);
    const quint64 flags = g.get(1);
    const quint64 rows = g.get(1) + 1, columns = g.get(1) + 1;
    const quint64 width = g.get(flags & 1 ? 4 : 2), height = g.get(flags & 1 ? 4 : 2);
    if (!g.ok || width == 0 || height == 0)
        return damaged(QStringLiteral("rutnätets data saknas"));
    const QList<quint32> tiles = items.tiles.value(items.primary);
    if (quint64(tiles.size()) != rows * columns)
        return damaged(QStringLiteral("rutnätet har %1 bitar av %2").arg(tiles.size()).arg(rows * columns));
    std::pair<quint64, quint64> tileSize{0, 0};
    for (const quint32 tile : tiles) {
        const auto l = items.locations.constFind(tile);
        if (l == items.locations.cend() || !inside(items, *l, size))
            return damaged(QStringLiteral("en bit av rutnätet saknas"));
        const auto e = items.extents.constFind(tile);
        if (e == items.extents.cend() || (tileSize.first && *e != tileSize))
            return damaged(QStringLiteral("bitarna i rutnätet har olika storlek"));
        tileSize = *e;
    }
    if (tileSize.first * columns < width || tileSize.second * rows < height)
        return damaged(QStringLiteral("bitarna täcker inte rutnätet"));
    return {};
}
