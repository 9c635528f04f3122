#include "language.h"
#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

namespace {
// Debian ships Qt's Swedish texts as the older qt_sv catalogue, where the
// standard buttons live under QDialogButtonBox; Qt 6 asks for them under
// QPlatformTheme. Look there too, so OK/Avbryt/Ja/Nej come out Swedish.
class SwedishQtTexts : public QTranslator {
public:
    using QTranslator::QTranslator;
    bool load() { return m_catalogue.load(QLocale(QLocale::Swedish, QLocale::Sweden), QStringLiteral("qt"),
                                          QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)); }
    QString translate(const char *context, const char *source, const char *disambiguation, int n) const override
    {
        QString text = m_catalogue.translate(context, source, disambiguation, n);
        if (text.isEmpty() && qstrcmp(context, "QPlatformTheme") == 0)
            text = m_catalogue.translate("QDialogButtonBox", source, disambiguation, n);
        return text;
    }
    bool isEmpty() const override { return m_catalogue.isEmpty(); }

private:
    QTranslator m_catalogue;
};
}

bool installSwedishQtTexts(QCoreApplication *app)
{
    auto *translator = new SwedishQtTexts(app);
    if (!translator->load()) {
        delete translator;
        return false;
    }
    return QCoreApplication::installTranslator(translator);
}
