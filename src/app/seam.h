#pragma once
#include <QString>
#include <QStringList>
#include <QUrl>
#include <optional>

class QDialog;
class QWidget;

// Everything modal or outside the program goes through here: message boxes,
// the input box, showing a window modally and opening a page in the browser.
// The program uses the Qt implementation; tests install a scripted one.
class Seam {
public:
    enum class Icon { None, Warning };
    virtual ~Seam() = default;
    virtual void message(QWidget *parent, const QString &text, const QString &title, Icon icon) = 0;
    // The answer, or nothing for Cancel and the close box.
    virtual std::optional<QString> inputBox(QWidget *parent, const QString &prompt, const QString &title,
                                            const QString &defaultText) = 0;
    // Files chosen in a file dialog, empty when it is cancelled.
    virtual QStringList openFileNames(QWidget *parent, const QString &title, const QString &folder,
                                      const QString &filter) = 0;
    // A folder chosen in a folder dialog, empty when it is cancelled.
    virtual QString openFolderName(QWidget *parent, const QString &title, const QString &folder) = 0;
    // Shows the window modally and returns when it is closed or hidden.
    virtual void showModal(QDialog *dialog) = 0;
    virtual void openUrl(const QUrl &url) = 0;

    static Seam &current();
    // Installs another implementation (tests); nullptr puts the Qt one back.
    static void install(Seam *seam);
};

// A lone carriage return in a message is a line break the user can see.
QString visibleLineBreaks(const QString &text);
