#pragma once

class QCoreApplication;

// The windows speak Swedish, so Qt's own texts (OK, Avbryt, Ja, Nej in
// standard dialogs) should too. True when Qt's Swedish translation loaded.
bool installSwedishQtTexts(QCoreApplication *app);
