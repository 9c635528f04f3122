#include "commandline.h"
#include "platform/version.h"
#include <QCommandLineOption>
#include <QCommandLineParser>

namespace {

const QString Program = QStringLiteral("tumbilder");

// The options with their help lines. A new option goes here and into the
// parser below; the help text is made from this list, so the two agree.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("visa den här hjälpen och avsluta")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("visa programmets version och avsluta")};

    QList<QCommandLineOption> all() const { return {help, version}; }
};

QString optionTable(const QList<QCommandLineOption> &options)
{
    QStringList heads;
    qsizetype width = 0;
    for (const QCommandLineOption &option : options) {
        QStringList names;
        for (const QString &name : option.names())
            names << (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
        QString head = QStringLiteral("  ") + names.join(QStringLiteral(", "));
        if (!option.valueName().isEmpty())
            head += QLatin1Char(' ') + option.valueName();
        width = std::max(width, head.size());
        heads << head;
    }
    QString table;
    for (qsizetype i = 0; i < options.size(); ++i)
        table += heads[i].leftJustified(width + 2) + options[i].description() + QLatin1Char('\n');
    return table;
}

QString helpText(const Options &options)
{
    return QStringLiteral("Användning: %1 [FLAGGA]... [FIL|MAPP]...\n").arg(Program)
           + QStringLiteral(
               "Gör tumbilder av JPG-, GIF- och BMP-bilder och en websida med dem.\n"
               "\n"
               "Utan argument öppnas fönstret med en tom lista. Filer och mappar som anges\n"
               "läggs i listan som om de hade dragits dit i den ordningen: en mapp ger\n"
               "bilderna direkt i den (inte i undermappar), sorterade efter namn. Bara namn\n"
               "som slutar på .jpg, .jpeg, .gif eller .bmp tas med. Ett namn som inte finns\n"
               "hoppas över med en varning.\n"
               "\n"
               "Flaggor:\n")
           + optionTable(options.all())
           + QStringLiteral(
               "\n"
               "Inga inställningar sparas mellan körningarna.\n"
               "Slutstatus: 0 om allt gick bra, 2 vid fel på kommandoraden.\n"
               "Webb: https://tumbilder.example.org/\n");
}

// An unknown option the way the user typed it: "-platform" rather than the
// parser's "-p", the first letter it could not place.
QString asTyped(const QStringList &arguments, const QString &name)
{
    const QString dashed = (name.size() == 1 ? QLatin1String("-") : QLatin1String("--")) + name;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (arg == QLatin1String("--"))
            break;
        if (arg == dashed || arg.startsWith(dashed + QLatin1Char('=')))
            return dashed;
        if (name.size() == 1 && arg.size() > 2 && arg.startsWith(QLatin1Char('-')) && !arg.startsWith(QLatin1String("--"))
            && arg.contains(name))
            return QStringLiteral("%1 (i \"%2\")").arg(dashed, arg);
    }
    return dashed;
}

QString errorText(const QString &problem)
{
    return QStringLiteral("%1: %2\nSkriv \"%1 --help\" för att se vad som går att ange.\n").arg(Program, problem);
}

}

CommandLine parseCommandLine(const QStringList &arguments)
{
    const Options options;
    QCommandLineParser parser;
    parser.addOptions(options.all());

    CommandLine result;
    if (!parser.parse(arguments)) {
        result.action = CommandLine::Action::Error;
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            result.text = errorText(QStringLiteral("okänd flagga: %1").arg(asTyped(arguments, unknown.constFirst())));
        } else {
            // Qt's own wording (in English) for the rarer mistakes, such as
            // a value given to an option that takes none.
            result.text = errorText(parser.errorText());
        }
        return result;
    }
    if (parser.isSet(options.help)) {
        result.action = CommandLine::Action::Help;
        result.text = helpText(options);
    } else if (parser.isSet(options.version)) {
        result.action = CommandLine::Action::Version;
        result.text = QStringLiteral("Tumbilder %1\n").arg(versionText());
    } else {
        result.inputs = parser.positionalArguments();
    }
    return result;
}

QString missingInputWarning(const QString &path)
{
    return QStringLiteral("%1: finns inte, hoppas över: %2\n").arg(Program, path);
}
