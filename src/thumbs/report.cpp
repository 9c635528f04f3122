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
QString namedLikeThumbnail(const QString &path)
{
    return QStringLiteral("En tumbild har samma namn, bilden tas inte med på websidan: ") + path;
}
QString summary(int written, int total, int current)
{
    if (current > 0)
        return QStringLiteral("%1 av %2 tumbilder skapade, %3 var redan klara.").arg(written).arg(total).arg(current);
    return QStringLiteral("%1 av %2 tumbilder skapade.").arg(written).arg(total);
}
QString thumbnailsLeftOut(int count)
{
    return count == 1 ? QStringLiteral("1 tumbild i mapparna hoppades över")
                      : QStringLiteral("%1 tumbilder i mapparna hoppades över").arg(count);
}
QString olderThumbnails()
{
    return QStringLiteral("En tumbild som är äldre än sin bild skrivs aldrig över: ta bort den så görs den om.");
}
QString recordUnreadable(const QString &path)
{
    return QStringLiteral("Websidans register går inte att läsa; inget i mappen tas bort: ") + path;
}
QString pageChanges(int added, int remade, int removed)
{
    return QStringLiteral("%1 nya, %2 %3, %4 borttagna ur sidan")
        .arg(added)
        .arg(remade)
        .arg(remade == 1 ? QStringLiteral("gjord om") : QStringLiteral("gjorda om"))
        .arg(removed);
}
QString cancelled() { return QStringLiteral("Avbrutet."); }
QString allWell() { return QStringLiteral("Tumbilder skapade utan problem!"); }
}
