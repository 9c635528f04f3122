#pragma once
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QString>

// What a run decides for each picture and how long each step takes: the
// decode scale, the canvas, the time spent decoding, resampling, encoding,
// writing and waiting for memory. Off unless asked for:
//   QT_LOGGING_RULES='tumbilder.*=true' tumbilder ...
// When off, a step costs two clock readings and the check below.
inline const QLoggingCategory &lcRun()
{
    static const QLoggingCategory category("tumbilder.run", QtWarningMsg);
    return category;
}

// A time in nanoseconds as the trace prints it.
inline QString traceMs(qint64 ns)
{
    return QString::number(double(ns) / 1e6, 'f', 1) + QStringLiteral(" ms");
}
