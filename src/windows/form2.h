#pragma once
#include <QDialog>

class QPlainTextEdit;
class QPushButton;

// "Info": the report of a run. It exists, hidden, from the first report line;
// "OK", Enter, Escape and the close box destroy it with its text.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget *mainWindow);

    // Appends CR LF and the line.
    void appendLine(const QString &line);
    // The report text as the run built it.
    QString reportText() const { return m_text; }
    void setReportText(const QString &text);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QString m_text;
    QPlainTextEdit *Text1;
    QPushButton *Command1;
};
