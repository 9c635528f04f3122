#include "runfiles.h"
#include "codecs/picture.h"
#include <sys/stat.h>

PictureStamp pictureStamp(const QString &path)
{
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {qint64(st.st_size), qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

bool RunFiles::claim(const QString &name, const QString &picture)
{
    const std::lock_guard lock(m_mutex);
    const auto there = m_owners.constFind(name);
    if (there != m_owners.cend())
        return *there == picture;
    m_owners.insert(name, picture);
    return true;
}

QString RunFiles::owner(const QString &name) const
{
    const std::lock_guard lock(m_mutex);
    return m_owners.value(name);
}

void RunFiles::wrote(const QString &name, const QString &picture)
{
    const std::lock_guard lock(m_mutex);
    m_written.insert(name);
    m_owners.insert(name, picture);
}

bool RunFiles::written(const QString &name) const
{
    const std::lock_guard lock(m_mutex);
    return m_written.contains(name);
}

Freshness RunFiles::thumbnail(const QString &name, const QString &picture) const
{
    {
        const std::lock_guard lock(m_mutex);
        const QString owner = m_owners.value(name);
        if (m_written.contains(name) || (!owner.isEmpty() && owner != picture))
            return nameTaken(name) ? Freshness::Other : Freshness::Absent;
    }
    return freshness(name, picture);
}

bool RunFiles::thumbnailMade(const QString &name, const QString &picture) const
{
    return m_update && thumbnail(name, picture) == Freshness::Current;
}

bool RunFiles::pageFileCurrent(const QString &name, const PictureStamp &picture, QSize size) const
{
    if (!picture.valid() || written(name))
        return false;
    if (modificationTime(name) != picture.modified)
        return false;
    const PictureReader reader(name);
    return reader.isValid() && reader.naturalSize() == size;
}
