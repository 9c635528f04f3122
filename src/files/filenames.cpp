#include "filenames.h"
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr char16_t ForeignBase = 0xDC00;

// A lone low surrogate from U+DC80 on: a byte that was not text.
bool foreignAt(const QString &name, qsizetype i)
{
    const char16_t u = name[i].unicode();
    return u >= ForeignBase + 0x80 && u <= ForeignBase + 0xFF && (i == 0 || !name[i - 1].isHighSurrogate());
}

// How many bytes a UTF-8 sequence starting with `lead` has (0: no lead byte).
int sequenceLength(uchar lead)
{
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return 2;
    if (lead >= 0xE0 && lead <= 0xEF)
        return 3;
    if (lead >= 0xF0 && lead <= 0xF4)
        return 4;
    return 0;
}

FileKind kindOf(const struct stat &st)
{
    if (S_ISREG(st.st_mode))
        return FileKind::File;
    if (S_ISDIR(st.st_mode))
        return FileKind::Folder;
    return FileKind::Other;
}

FileKind kindAfterFailure(int err)
{
    return err == ENOENT || err == ENOTDIR || err == ELOOP || err == ENAMETOOLONG ? FileKind::Nothing
                                                                                  : FileKind::Unreachable;
}

}

QString nameFromBytes(const QByteArray &bytes)
{
    QString text = QString::fromUtf8(bytes);
    if (!text.contains(QChar::ReplacementCharacter))
        return text;
    // One sequence at a time: what Qt decodes and encodes back to the same
    // bytes is text; any other byte is kept on its own.
    text.clear();
    for (qsizetype i = 0; i < bytes.size();) {
        const uchar lead = uchar(bytes[i]);
        const int length = sequenceLength(lead);
        if (length > 0 && i + length <= bytes.size()) {
            const QByteArray sequence = bytes.mid(i, length);
            const QString decoded = QString::fromUtf8(sequence);
            if (decoded.toUtf8() == sequence) {
                text += decoded;
                i += length;
                continue;
            }
        }
        text += QChar(char16_t(ForeignBase + lead));
        ++i;
    }
    return text;
}

QByteArray nameBytes(const QString &name)
{
    QByteArray bytes;
    qsizetype textFrom = 0;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (!foreignAt(name, i))
            continue;
        bytes += QStringView(name).mid(textFrom, i - textFrom).toUtf8();
        bytes += char(name[i].unicode() - ForeignBase);
        textFrom = i + 1;
    }
    return bytes + QStringView(name).mid(textFrom).toUtf8();
}

bool holdsForeignBytes(const QString &name)
{
    for (qsizetype i = 0; i < name.size(); ++i)
        if (foreignAt(name, i))
            return true;
    return false;
}

QString readableName(const QString &name)
{
    QString readable;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (foreignAt(name, i))
            readable += QStringLiteral("\\x")
                        + QString::number(name[i].unicode() - ForeignBase, 16).toUpper().rightJustified(2, u'0');
        else
            readable += name[i];
    }
    return readable;
}

FileKind fileKind(const QString &path)
{
    struct stat st {};
    if (path.isEmpty())
        return FileKind::Nothing;
    if (::stat(nameBytes(path).constData(), &st) != 0)
        return kindAfterFailure(errno);
    return kindOf(st);
}

FolderListing readFolder(const QString &path)
{
    FolderListing listing;
    const int fd = ::open(nameBytes(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        listing.error = errno;
        return listing;
    }
    // Names alone are no use: the files must be reachable too.
    DIR *dir = ::faccessat(fd, ".", X_OK, AT_EACCESS) == 0 ? ::fdopendir(fd) : nullptr;
    if (!dir) {
        listing.error = errno;
        ::close(fd);
        return listing;
    }
    for (;;) {
        errno = 0;
        const dirent *entry = ::readdir(dir);
        if (!entry) {
            listing.error = errno;
            break;
        }
        const QByteArray name(entry->d_name);
        if (name == "." || name == "..")
            continue;
        FileKind kind;
        switch (entry->d_type) {
        case DT_REG:
            kind = FileKind::File;
            break;
        case DT_DIR:
            kind = FileKind::Folder;
            break;
        case DT_FIFO:
        case DT_CHR:
        case DT_BLK:
        case DT_SOCK:
            kind = FileKind::Other;
            break;
        default: {   // a link, or a file system that does not say
            struct stat st {};
            kind = ::fstatat(fd, name.constData(), &st, 0) == 0 ? kindOf(st) : kindAfterFailure(errno);
        }
        }
        listing.entries.append({nameFromBytes(name), kind});
    }
    ::closedir(dir);
    if (listing.error)
        listing.entries.clear();
    return listing;
}
