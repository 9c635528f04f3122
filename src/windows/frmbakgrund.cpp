// Placeholder until the colour window is built.
#include "frmbakgrund.h"
frmbakgrund::frmbakgrund(QWidget *mainWindow) : QDialog(mainWindow) {}
void frmbakgrund::lbl_Click(int) {}
bool frmbakgrund::eventFilter(QObject *w, QEvent *e) { return QDialog::eventFilter(w, e); }
