#include "filebytes.h"
#include <QFileInfo>
#include <cerrno>

FileBytes::FileBytes(const QString &path) : m_file(path)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        m_failure = systemFailure(ENOENT);
        return;
    }
    if (info.isDir()) {
        m_failure = systemFailure(EISDIR);
        return;
    }
    errno = 0;
    if (!m_file.open(QIODevice::ReadOnly)) {
        m_failure = systemFailure(errno ? errno : EACCES);
        return;
    }
    const qint64 size = m_file.size();
    if (size > 0) {
        if (const uchar *mapped = m_file.map(0, size)) {
            m_data = mapped;
            m_size = size;
            return;
        }
    }
    errno = 0;
    m_bytes = m_file.readAll();
    if (m_file.error() != QFileDevice::NoError) {
        m_bytes.clear();
        m_failure = systemFailure(errno ? errno : EIO);
        return;
    }
    m_data = reinterpret_cast<const uchar *>(m_bytes.constData());
    m_size = m_bytes.size();
}
