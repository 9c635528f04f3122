#include "report.h"

namespace ReportLine {
QString missing(const QString &path) { return QStringLiteral("Fil saknas: ") + path; }
QString unreadable(const QString &path) { return QStringLiteral("Kan inte läsa bilden: ") + path; }
QString exists(const QString &path) { return QStringLiteral("Filen finns redan: ") + path; }
QString cancelled() { return QStringLiteral("Avbrutet."); }
QString allWell() { return QStringLiteral("Tumbilder skapade utan problem!"); }
}
