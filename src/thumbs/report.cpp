#include "report.h"

namespace ReportLine {
QString missing(const QString &path) { return QStringLiteral("Fil saknas: ") + path; }
QString unreadable(const QString &path) { return QStringLiteral("Kan inte läsa bilden: ") + path; }
QString exists(const QString &path) { return QStringLiteral("Filen finns redan: ") + path; }
QString notScaled(const QString &path) { return QStringLiteral("Kan inte skala om bilden: ") + path; }
QString notAFile(const QString &path) { return QStringLiteral("Inte en vanlig fil: ") + path; }
QString folderUnreadable(const QString &path) { return QStringLiteral("Kan inte läsa mappen: ") + path; }
QString unsupported(const QString &path) { return QStringLiteral("Formatet stöds inte: ") + path; }
QString unsupportedSkipped(int count, const QStringList &extensions)
{
    return (count == 1 ? QStringLiteral("1 fil") : QStringLiteral("%1 filer").arg(count))
           + QStringLiteral(" i format som inte stöds hoppades över: ") + extensions.join(QStringLiteral(", "));
}
QString summary(int written, int total)
{
    return QStringLiteral("%1 av %2 tumbilder skapade.").arg(written).arg(total);
}
QString cancelled() { return QStringLiteral("Avbrutet."); }
QString allWell() { return QStringLiteral("Tumbilder skapade utan problem!"); }
}
