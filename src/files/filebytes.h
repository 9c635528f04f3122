#pragma once
#include "failure.h"
#include <QByteArray>
#include <QFile>
#include <QString>

// The bytes of a file, for reading: mapped when the system allows it, read
// into memory when it does not (pipes, some network file systems).
//
// A mapped file that something cuts short while we read it (a copy over
// it, rsync --inplace, an editor saving) would kill the process with
// SIGBUS at the first page past its new end. Those pages read as zeros
// instead, and changed() says so: what was decoded from them is no picture.
class FileBytes {
public:
    explicit FileBytes(const QString &path);
    ~FileBytes();
    FileBytes(const FileBytes &) = delete;
    FileBytes &operator=(const FileBytes &) = delete;

    // Why the file could not be opened or read (errno), if it could not.
    const Failure &failure() const { return m_failure; }
    const uchar *data() const { return m_data; }
    qint64 size() const { return m_size; }
    // Bytes held in memory for the file: 0 when mapped (the system's file
    // cache holds those pages and can drop them), else the whole file.
    qint64 heldBytes() const { return m_bytes.size(); }
    // Whether the mapped file was cut short since it was opened.
    bool changed() const;

private:
    int m_fd = -1;
    QByteArray m_bytes;    // the contents, when the file could not be mapped
    const uchar *m_data = nullptr;
    qint64 m_size = 0;
    int m_slot = -1;       // the mapping's place among the guarded ones
    Failure m_failure;
};
