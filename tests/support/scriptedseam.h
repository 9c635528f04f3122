#pragma once
#include "app/seam.h"
#include <QDialog>
#include <QStringList>
#include <QTest>
#include <functional>
#include <optional>

// A seam for tests: records every message and input box, answers input boxes
// from a script, and lets a test act on a window instead of blocking in exec().
class ScriptedSeam : public Seam {
public:
    struct Message {
        QString text;
        QString title;
        Icon icon;
    };
    ScriptedSeam() { Seam::install(this); }
    ~ScriptedSeam() override { Seam::install(nullptr); }

    void message(QWidget *, const QString &text, const QString &title, Icon icon) override
    {
        messages.append({text, title, icon});
    }
    std::optional<QString> inputBox(QWidget *, const QString &prompt, const QString &title,
                                    const QString &defaultText) override
    {
        inputs.append({prompt, title, defaultText});
        if (answers.isEmpty()) {
            // A box the test did not expect: fail it, and cancel so no loop hangs.
            QTest::qFail(qPrintable(QStringLiteral("unscripted input box: ") + prompt), __FILE__, __LINE__);
            return std::nullopt;
        }
        return answers.takeFirst();
    }
    QStringList openFileNames(QWidget *, const QString &title, const QString &folder, const QString &filter) override
    {
        fileDialogs.append({folder, title, filter});
        return files.isEmpty() ? QStringList() : files.takeFirst();
    }
    QString openFolderName(QWidget *, const QString &title, const QString &folder) override
    {
        fileDialogs.append({folder, title, {}});
        return files.isEmpty() || files.first().isEmpty() ? QString() : files.takeFirst().first();
    }
    void showModal(QDialog *dialog) override
    {
        shown.append(dialog ? dialog->objectName() : QString());
        if (onModal)
            onModal(dialog);
    }
    void openUrl(const QUrl &url) override { opened.append(url); }

    struct Input {
        QString prompt, title, defaultText;
    };
    QList<Message> messages;
    QList<Input> inputs;
    QList<std::optional<QString>> answers;   // nullopt is Cancel
    QStringList shown;
    QList<QUrl> opened;
    QList<Input> fileDialogs;              // folder (as prompt), title, filter
    QList<QStringList> files;              // answers of file dialogs; empty is Cancel
    std::function<void(QDialog *)> onModal;
};
