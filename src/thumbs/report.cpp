#include "report.h"

namespace ReportLine {
QString missing(const QString &path) { return QStringLiteral("Fil saknas: ") + path; }
QString unreadable(const QString &path) { return QStringLiteral("Kan inte läsa bilden: ") + path; }
QString exists(const QString &path) { return QStringLiteral("Filen finns redan: ") + path; }
QString notScaled(const QString &path) { return QStringLiteral("Kan inte skala om bilden: ") + path; }
QString summary(int written, int total)
{
    return QStringLiteral("%1 av %2 tumbilder skapade.").arg(written).arg(total);
}
QString cancelled() { return QStringLiteral("Avbrutet."); }
QString allWell() { return QStringLiteral("Tumbilder skapade utan problem!"); }
}
