#include "jpegscans.h"
#include "jpegerrors.h"
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>
extern "C" {
#include <jpeglib.h>
}

namespace {
constexpr uchar SOI = 0xD8, EOI = 0xD9, SOS = 0xDA, SOF2 = 0xC2, DHT = 0xC4, JPG = 0xC8, DAC = 0xCC, DNL = 0xDC;

struct Component {
    int id;
    bool dcOnly;   // its 1/8 decode reads the DC coefficient alone
};

// The components of a progressive frame and whether each is decoded from its
// DC coefficient alone at 1/8. The decoder decides that (it may scale a
// subsampled component up through a larger IDCT instead of upsampling it),
// so it is asked rather than guessed. False if the header cannot be read or
// the file is not progressive.
bool eighthComponents(const uchar *data, qint64 size, std::vector<Component> &components)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    info.err = jpegErrors(errors);
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&info);
        components.clear();
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    bool ok = jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK && info.progressive_mode && !info.arith_code;
    if (ok) {
        info.scale_num = 1;
        info.scale_denom = 8;
        jpeg_calc_output_dimensions(&info);
        for (int i = 0; i < info.num_components; ++i) {
            const jpeg_component_info &c = info.comp_info[i];
#if JPEG_LIB_VERSION >= 70
            const bool dcOnly = c.DCT_h_scaled_size == 1 && c.DCT_v_scaled_size == 1;
#else
            const bool dcOnly = c.DCT_scaled_size == 1;
#endif
            components.push_back({c.component_id, dcOnly});
        }
    }
    jpeg_destroy_decompress(&info);
    return ok;
}

bool isFrameHeader(uchar m) { return m >= 0xC0 && m <= 0xCF && m != DHT && m != JPG && m != DAC; }

// Where the entropy-coded data from `p` on ends: at the first marker that is
// neither a stuffed zero (FF 00) nor a restart marker. -1 if the file ends first.
qint64 entropyEnd(const uchar *data, qint64 p, qint64 size)
{
    while (p < size) {
        const void *hit = std::memchr(data + p, 0xFF, size_t(size - p));
        if (!hit)
            return -1;
        const qint64 at = static_cast<const uchar *>(hit) - data;
        qint64 code = at + 1;
        while (code < size && data[code] == 0xFF)   // fill bytes
            ++code;
        if (code >= size)
            return -1;
        if (data[code] != 0x00 && (data[code] < 0xD0 || data[code] > 0xD7))
            return at;
        p = code + 1;
    }
    return -1;
}
}

QByteArray jpegScansForEighth(const uchar *data, qint64 size, int maxScans)
{
    if (size < 4 || data[0] != 0xFF || data[1] != SOI)
        return {};
    std::vector<Component> components;
    if (!eighthComponents(data, size, components))
        return {};
    QByteArray out;
    out.append("\xFF\xD8", 2);
    bool frame = false;
    bool dropped = false;
    int scans = 0;
    qint64 p = 2;
    for (;;) {
        // A marker: 0xFF, perhaps more 0xFF as fill, then its code. Anything
        // else between segments is damage, which the full decode reports.
        if (p >= size || data[p] != 0xFF)
            return {};
        while (p < size && data[p] == 0xFF)
            ++p;
        if (p >= size)
            return {};
        const uchar marker = data[p++];
        if (marker == EOI) {
            if (!dropped)
                return {};
            out.append("\xFF\xD9", 2);
            return out;
        }
        if (marker == 0x00 || marker == 0x01 || (marker >= 0xD0 && marker <= SOI) || marker == DNL)
            return {};
        if (p + 2 > size)
            return {};
        const qint64 length = qint64(data[p]) << 8 | data[p + 1];
        if (length < 2 || p + length > size)
            return {};
        const uchar *body = data + p + 2;
        const qint64 bodyLength = length - 2;
        const qint64 next = p + length;
        const char head[2] = {char(0xFF), char(marker)};

        if (isFrameHeader(marker)) {
            // Only one progressive Huffman frame is ours.
            if (marker != SOF2 || frame)
                return {};
            frame = true;
        }
        if (marker != SOS) {
            out.append(head, 2);
            out.append(reinterpret_cast<const char *>(data + p), qsizetype(length));
            p = next;
            continue;
        }

        if (!frame || bodyLength < 1 || ++scans > maxScans)
            return {};
        const int count = body[0];
        if (count < 1 || bodyLength != 4 + 2 * qint64(count))
            return {};
        // DC scans (spectral start 0) always stay; an AC scan stays when its
        // component needs more than the DC coefficient.
        bool keep = body[1 + 2 * count] == 0;
        for (int i = 0; i < count; ++i) {
            const int id = body[1 + 2 * i];
            bool known = false;
            for (const Component &c : components) {
                if (c.id == id) {
                    known = true;
                    keep = keep || !c.dcOnly;
                }
            }
            if (!known)
                return {};
        }
        const qint64 end = entropyEnd(data, next, size);
        if (end < 0)
            return {};
        if (keep) {
            out.append(head, 2);
            out.append(reinterpret_cast<const char *>(data + p), qsizetype(end - p));
        } else {
            dropped = true;
        }
        p = end;
    }
}
