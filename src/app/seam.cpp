#include "seam.h"
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

QString visibleLineBreaks(const QString &text)
{
    QString out = text;
    out.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    out.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return out;
}

namespace {
class QtSeam final : public Seam {
public:
    void message(QWidget *parent, const QString &text, const QString &title, Icon icon) override
    {
        QMessageBox box(icon == Icon::Warning ? QMessageBox::Warning : QMessageBox::NoIcon, title,
                        visibleLineBreaks(text), QMessageBox::Ok, parent);
        box.exec();
    }
    std::optional<QString> inputBox(QWidget *parent, const QString &prompt, const QString &title,
                                    const QString &defaultText) override
    {
        bool ok = false;
        const QString answer = QInputDialog::getText(parent, title, prompt, QLineEdit::Normal, defaultText, &ok);
        if (!ok)
            return std::nullopt;
        return answer;
    }
    QStringList openFileNames(QWidget *parent, const QString &title, const QString &folder,
                              const QString &filter) override
    {
        return QFileDialog::getOpenFileNames(parent, title, folder, filter);
    }
    QString openFolderName(QWidget *parent, const QString &title, const QString &folder) override
    {
        return QFileDialog::getExistingDirectory(parent, title, folder);
    }
    void showModal(QDialog *dialog) override { dialog->exec(); }
    void openUrl(const QUrl &url) override { QDesktopServices::openUrl(url); }
};

QtSeam g_qt;
Seam *g_current = &g_qt;
}

Seam &Seam::current()
{
    return *g_current;
}

void Seam::install(Seam *seam)
{
    g_current = seam ? seam : &g_qt;
}
