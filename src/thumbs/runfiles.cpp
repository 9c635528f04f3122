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
        // The page made it: current only if made from this picture as it is
        // now and by the same settings; otherwise it is made again.
        if (const auto owned = m_owned.constFind(name); owned != m_owned.cend())
            return owned->picture == picture && owned->stamp == pictureStamp(picture)
                           && owned->shape == m_thumbnailShape
                       ? Freshness::Current
                       : Freshness::Older;
    }
    return freshness(name, picture);
}

void RunFiles::own(const QString &name, const QString &picture, const PictureStamp &stamp, const QString &shape)
{
    const std::lock_guard lock(m_mutex);
    m_owned.insert(name, {picture, stamp, shape});
}

bool RunFiles::owned(const QString &name) const
{
    const std::lock_guard lock(m_mutex);
    return m_owned.contains(name);
}

bool RunFiles::mayReplace(const QString &name) const
{
    return !m_recorded || owned(name) || !nameTaken(name);
}

bool RunFiles::thumbnailMade(const QString &name, const QString &picture) const
{
    return m_update && thumbnail(name, picture) == Freshness::Current;
}

bool RunFiles::pageFileCurrent(const QString &name, const PictureStamp &picture, QSize size,
                               const QString &shape) const
{
    if (!picture.valid() || written(name))
        return false;
    {
        const std::lock_guard lock(m_mutex);
        if (const auto owned = m_owned.constFind(name); owned != m_owned.cend())
            return owned->stamp == picture && owned->shape == shape;
    }
    if (modificationTime(name) != picture.modified)
        return false;
    const PictureReader reader(name);
    return reader.isValid() && reader.naturalSize() == size;
}
