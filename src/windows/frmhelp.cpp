// Placeholder until the help window is built.
#include "frmhelp.h"
frmhelp::frmhelp(QWidget *mainWindow, const QString &v) : QDialog(mainWindow), m_version(v) {}
QString frmhelp::instructionsText() { return {}; }
QString frmhelp::aboutText(const QString &v) { return QStringLiteral("Tumbilder ") + v; }
void frmhelp::List1_Click() {}
