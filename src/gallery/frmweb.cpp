// Placeholder until the settings window is built.
#include "frmweb.h"
#include <QCloseEvent>
frmweb::frmweb(QWidget *mainWindow) : QDialog(mainWindow) { setAttribute(Qt::WA_DeleteOnClose); }
int frmweb::columns() const { return 3; }
QString frmweb::title() const { return QStringLiteral("Mina bilder"); }
QString frmweb::folder() const { return {}; }
bool frmweb::openBrowser() const { return false; }
void frmweb::Command2_Click() { hide(); }
void frmweb::Command3_Click() {}
void frmweb::Command4_Click() {}
void frmweb::Command5_Click() {}
void frmweb::closeEvent(QCloseEvent *e) { QDialog::closeEvent(e); }
void frmweb::keyPressEvent(QKeyEvent *e) { QDialog::keyPressEvent(e); }
