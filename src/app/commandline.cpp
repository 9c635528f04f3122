#include "commandline.h"
#include "app/version.h"
#include "codecs/loaders.h"
#include "files/filenames.h"
#include "pixels/canvas.h"
#include "windows/swatches.h"
#include <QColor>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QRegularExpression>
#include <limits>
#include <optional>

namespace {

const QString Program = QStringLiteral("tumbilder");

// The options with their help lines. A new option goes here and into the
// parser below; the help text is made from this list, so the two agree.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("visa den här hjälpen och avsluta")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("visa programmets version och avsluta")};
    QCommandLineOption batch{QStringLiteral("batch"),
                             QStringLiteral("gör tumbilderna direkt, utan fönster (flaggorna nedan gäller bara då)")};
    QCommandLineOption mode{QStringLiteral("mode"),
                            QStringLiteral("storleksläge: both (lås båda), height (lås höjd), width (lås bredd) "
                                           "eller percent (procent); från början both"),
                            QStringLiteral("LÄGE")};
    QCommandLineOption size{QStringLiteral("size"),
                            QStringLiteral("tumbildens ruta i bildpunkter, som skjutreglagen ställer den; "
                                           "från början 237x237"),
                            QStringLiteral("BxH")};
    QCommandLineOption percent{QStringLiteral("percent"),
                               QStringLiteral("procent av originalet, 1 till 100, för --mode percent; "
                                              "från början 50"),
                               QStringLiteral("P")};
    QCommandLineOption prefix{QStringLiteral("prefix"), QStringLiteral("text före filnamnet; från början ingen"),
                              QStringLiteral("TEXT")};
    QCommandLineOption suffix{QStringLiteral("suffix"), QStringLiteral("text efter filnamnet; från början _s"),
                              QStringLiteral("TEXT")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("jpg, gif eller bmp; från början jpg"), QStringLiteral("FORMAT")};
    QCommandLineOption quality{QStringLiteral("quality"),
                               QStringLiteral("JPG-kvalitet 1 till 100; från början 65"), QStringLiteral("Q")};
    QCommandLineOption background{QStringLiteral("background"),
                                  QStringLiteral("bakgrundsfärg: #RRGGBB, eller färg 0 till 35 i färgfönstret "
                                                 "(radvis); från början #EFEFEF"),
                                  QStringLiteral("FÄRG")};
    QCommandLineOption page{QStringLiteral("page"),
                            QStringLiteral("skriv också websidan bilder.html i MAPP, med tumbilderna och "
                                           "kopior av bilderna (MAPP görs om den inte finns)"),
                            QStringLiteral("MAPP")};
    QCommandLineOption title{QStringLiteral("title"),
                             QStringLiteral("websidans titel; från början \"Mina bilder\""), QStringLiteral("TEXT")};
    QCommandLineOption columns{QStringLiteral("columns"),
                               QStringLiteral("antal kolumner på websidan, 1 till 8; från början 3"),
                               QStringLiteral("N")};
    QCommandLineOption pageStyle{QStringLiteral("page-style"),
                                 QStringLiteral("websidans stil: classic (tabellsidan) eller modern (för mobil "
                                                "och surfplatta, med bildvisare); från början classic"),
                                 QStringLiteral("STIL")};
    QCommandLineOption webSize{QStringLiteral("web-size"),
                               QStringLiteral("med --page-style modern: kopiera bilderna som JPG med N "
                                              "bildpunkter på längsta sidan i stället för originalen"),
                               QStringLiteral("N")};
    QCommandLineOption sort{QStringLiteral("sort"),
                            QStringLiteral("med --page-style modern: bilderna i varje album efter date (när de "
                                           "togs) eller name (i listans ordning); från början date"),
                            QStringLiteral("ORDNING")};
    QCommandLineOption recursive{{QStringLiteral("r"), QStringLiteral("recursive")},
                                 QStringLiteral("ta med bilderna i mapparna under varje mapp (inte dolda mappar); "
                                                "en modern websida får ett album per mapp")};
    QCommandLineOption out{QStringLiteral("out"),
                           QStringLiteral("lägg tumbilderna i MAPP i stället för bredvid varje bild "
                                          "(inte med --page)"),
                           QStringLiteral("MAPP")};
    QCommandLineOption update{QStringLiteral("update"),
                              QStringLiteral("för körningar igen: en tumbild som finns och är minst lika ny som "
                                             "sin bild räknas som gjord (en äldre skrivs ändå aldrig över); en "
                                             "modern websida med register (tumbilder-websida.json) gör om det "
                                             "den gjort av ändrade bilder och tar bort det den gjort av bilder "
                                             "som inte finns längre, men aldrig annat i mappen")};
    QCommandLineOption jobs{QStringLiteral("jobs"),
                            QStringLiteral("antal trådar som ritar, 1 till 1024; från början en per kärna"),
                            QStringLiteral("N")};
    QCommandLineOption quiet{QStringLiteral("quiet"),
                             QStringLiteral("visa inte hur långt körningen har kommit")};
    QCommandLineOption cancelAfter = hidden(QStringLiteral("cancel-after"), QStringLiteral("N"));
    QCommandLineOption timing = hidden(QStringLiteral("timing"));

    QList<QCommandLineOption> all() const
    {
        return {help, version, batch, mode, size, percent, prefix, suffix, format, quality, background,
                page, title, columns, pageStyle, webSize, sort, recursive, out, update, jobs, quiet, cancelAfter,
                timing};
    }
    // The options that only a batch run takes.
    QList<QCommandLineOption> batchOnly() const
    {
        return {mode, size, percent, prefix, suffix, format, quality, background, page, title, columns, pageStyle,
                webSize, sort, out, update, jobs, quiet, cancelAfter, timing};
    }

private:
    static QCommandLineOption hidden(const QString &name, const QString &value = {})
    {
        QCommandLineOption option(name, QString(), value);
        option.setFlags(QCommandLineOption::HiddenFromHelp);
        return option;
    }
};

// Text broken at blanks into lines of at most `columns` characters, every
// line but the first indented by `indent` blanks; a word longer than a line
// stands alone.
QString wrapped(const QString &text, qsizetype firstColumn, qsizetype indent, qsizetype columns = 80)
{
    QString out;
    qsizetype column = firstColumn;
    for (const QString &word : text.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (column > indent && column + 1 + word.size() > columns) {
            out += QLatin1Char('\n') + QString(indent, QLatin1Char(' '));
            column = indent;
        } else if (column > indent) {
            out += QLatin1Char(' ');
            ++column;
        }
        out += word;
        column += word.size();
    }
    return out;
}

QString optionTable(const QList<QCommandLineOption> &options)
{
    QStringList heads;
    qsizetype width = 0;
    QList<QCommandLineOption> shown;
    for (const QCommandLineOption &option : options)
        if (!(option.flags() & QCommandLineOption::HiddenFromHelp))
            shown << option;
    for (const QCommandLineOption &option : shown) {
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
    for (qsizetype i = 0; i < shown.size(); ++i)
        table += heads[i].leftJustified(width + 2) + wrapped(shown[i].description(), width + 2, width + 2)
                 + QLatin1Char('\n');
    return table;
}

// The formats of the loader table for a sentence: "JPG, GIF och BMP".
QString formatList()
{
    QStringList names = pictureFormatNames();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" och ") + last;
}

QString helpText(const Options &options)
{
    return QStringLiteral("Användning: %1 [FLAGGA]... [FIL|MAPP]...\n"
                          "       %1 --batch [FLAGGA]... FIL|MAPP...\n").arg(Program)
           + wrapped(QStringLiteral("Gör tumbilder av bilder (%1) och en websida med dem.").arg(formatList()), 0, 0)
           + QStringLiteral(
               "\n\n"
               "Utan argument öppnas fönstret med en tom lista. Filer och mappar som anges\n"
               "läggs i listan som om de hade dragits dit i den ordningen: en mapp ger\n"
               "bilderna direkt i den (inte i undermappar), sorterade efter namn, men inte\n"
               "programmets egna tumbilder av dem. Bara namn som slutar på en\n"
               "bildfilsändelse tas med:\n")
           + QStringLiteral("  ") + wrapped(QStringLiteral(".") + pictureExtensions().join(QStringLiteral(" .")), 2, 2)
           + QStringLiteral("\n")
           + QStringLiteral(
               "Ett namn som inte finns hoppas över med en varning.\n"
               "\n"
               "Med --batch görs tumbilderna direkt, utan fönster och utan skärm, med samma\n"
               "regler som \"Kör!\" i fönstret: en tumbild eller bild skrivs aldrig över;\n"
               "i websidans mapp byts bilder.html och kopiorna av bilderna ut. Rapporten\n"
               "skrivs på standard ut; Ctrl+C stoppar efter bilden som pågår.\n"
               "\n"
               "Flaggor:\n")
           + optionTable(options.all())
           + QStringLiteral(
               "\n"
               "Inga inställningar sparas mellan körningarna.\n"
               "Slutstatus: 0 om allt gick bra, 1 om någon bild rapporterades, 2 vid fel\n"
               "(på kommandoraden, under körningen eller när rapporten inte kan skrivas),\n"
               "130 om körningen avbröts.\n");
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
    return QStringLiteral("%1: %2\nSkriv \"%1 --help\" för att se vad som går att ange.\n")
        .arg(Program, shownInShell(problem));
}

// What the parser found wrong, in Swedish: Qt words its own findings in
// English.
QString parserProblem(const QCommandLineParser &parser, const QStringList &arguments)
{
    const QStringList unknown = parser.unknownOptionNames();
    if (!unknown.isEmpty())
        return QStringLiteral("okänd flagga: %1").arg(asTyped(arguments, unknown.constFirst()));
    static const QRegularExpression missing(QStringLiteral("^Missing value after '(.+)'\\.$"));
    static const QRegularExpression unexpected(QStringLiteral("^Unexpected value after '(.+)'\\.$"));
    if (const QRegularExpressionMatch m = missing.match(parser.errorText()); m.hasMatch())
        return QStringLiteral("%1 vill ha ett värde").arg(m.captured(1));
    if (const QRegularExpressionMatch m = unexpected.match(parser.errorText()); m.hasMatch()) {
        const QString name = m.captured(1);
        for (const QString &arg : arguments)
            if (arg.startsWith(name + QLatin1Char('=')))
                return QStringLiteral("%1 tar inget värde (i \"%2\")").arg(name, arg);
        return QStringLiteral("%1 tar inget värde").arg(name);
    }
    return QStringLiteral("argumenten går inte att läsa");
}

// An option given twice: which of the two was meant cannot be told. A value
// that is not text cannot be used either: no name Qt opens would match it.
QString optionProblem(const QCommandLineParser &parser, const Options &options)
{
    for (const QCommandLineOption &option : options.all()) {
        const QString name = QStringLiteral("--") + option.names().constLast();
        qsizetype times = 0;
        for (const QString &given : parser.optionNames())
            times += option.names().contains(given) ? 1 : 0;
        if (times > 1)
            return QStringLiteral("%1 får bara anges en gång").arg(name);
        if (option.valueName().isEmpty())
            continue;
        for (const QString &value : parser.values(option))
            if (holdsForeignBytes(value))
                return QStringLiteral("%1 vill ha text i UTF-8: %2").arg(name, readableName(value));
    }
    return {};
}

std::optional<int> wholeNumber(const QString &text, int least, int most)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n < least || n > most)
        return std::nullopt;
    return n;
}

// A colour as #RRGGBB, or the place (0..35) of a swatch of the colour window.
std::optional<ColourValue> colour(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^#([0-9A-Fa-f]{6})$"));
    if (const QRegularExpressionMatch m = hex.match(text.trimmed()); m.hasMatch())
        return Canvas::fromColor(QColor::fromRgb(QRgb(m.captured(1).toUInt(nullptr, 16))));
    if (const auto n = wholeNumber(text, 0, int(Swatches.size()) - 1))
        return Canvas::fromColor(QColor::fromRgb(Swatches[size_t(*n)].colour));
    return std::nullopt;
}

// The batch settings the options ask for, or what is wrong with them.
QString readBatch(const QCommandLineParser &parser, const Options &o, BatchSettings &b, QStringList &warnings)
{
    if (parser.isSet(o.mode)) {
        const QString mode = parser.value(o.mode);
        const QStringList modes{QStringLiteral("height"), QStringLiteral("width"), QStringLiteral("both"),
                                QStringLiteral("percent")};
        if (!modes.contains(mode))
            return QStringLiteral("okänt storleksläge: %1 (both, height, width eller percent)").arg(mode);
        b.mode = SizeMode(modes.indexOf(mode));
    }
    if (parser.isSet(o.size)) {
        static const QRegularExpression wxh(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
        const QRegularExpressionMatch m = wxh.match(parser.value(o.size));
        const int w = m.hasMatch() ? m.captured(1).toInt() : 0, h = m.hasMatch() ? m.captured(2).toInt() : 0;
        // The canvas holds at most 16384 pixels a side, its border included.
        if (w < 1 || h < 1 || w > 16380 || h > 16380)
            return QStringLiteral("--size vill ha BREDDxHÖJD i bildpunkter, 1 till 16380, till exempel 237x237");
        b.box = QSize(w, h);
    }
    if (parser.isSet(o.percent)) {
        const auto p = wholeNumber(parser.value(o.percent), 1, 100);
        if (!p)
            return QStringLiteral("--percent vill ha ett heltal från 1 till 100");
        b.percent = *p;
    }
    // Settings the chosen mode leaves unused are said, not dropped in silence.
    if (parser.isSet(o.percent) && b.mode != SizeMode::Percent)
        warnings << QStringLiteral("--percent gäller bara med --mode percent och används inte");
    if (parser.isSet(o.size) && b.mode == SizeMode::Percent)
        warnings << QStringLiteral("--size gäller inte med --mode percent och används inte");
    b.prefix = parser.isSet(o.prefix) ? parser.value(o.prefix) : b.prefix;
    b.suffix = parser.isSet(o.suffix) ? parser.value(o.suffix) : b.suffix;
    if (!fitsInFileName(b.prefix) || !fitsInFileName(b.suffix))
        return QStringLiteral("--prefix och --suffix kan inte innehålla / (det skiljer mappar åt i en sökväg)");
    if (parser.isSet(o.format)) {
        const QString format = parser.value(o.format).toLower();
        if (format == QLatin1String("jpg"))
            b.format = OutputFormat::Jpg;
        else if (format == QLatin1String("gif"))
            b.format = OutputFormat::Gif;
        else if (format == QLatin1String("bmp"))
            b.format = OutputFormat::Bmp;
        else
            return QStringLiteral("okänt format: %1 (jpg, gif eller bmp)").arg(parser.value(o.format));
    }
    if (parser.isSet(o.quality)) {
        const auto q = wholeNumber(parser.value(o.quality), 1, 100);
        if (!q)
            return QStringLiteral("--quality vill ha ett heltal från 1 till 100");
        b.quality = *q;
    }
    if (parser.isSet(o.background)) {
        const auto c = colour(parser.value(o.background));
        if (!c)
            return QStringLiteral("--background vill ha #RRGGBB eller ett färgnummer från 0 till 35");
        b.background = *c;
    }
    b.page = parser.value(o.page);
    b.out = parser.value(o.out);
    if (parser.isSet(o.page) && b.page.isEmpty())
        return QStringLiteral("--page vill ha en mapp");
    if (parser.isSet(o.out) && b.out.isEmpty())
        return QStringLiteral("--out vill ha en mapp");
    if (!b.page.isEmpty() && !b.out.isEmpty())
        return QStringLiteral("--out och --page går inte att använda tillsammans: med --page hamnar "
                              "tumbilderna i websidans mapp");
    b.title = parser.isSet(o.title) ? parser.value(o.title) : b.title;
    if (parser.isSet(o.columns)) {
        const auto c = wholeNumber(parser.value(o.columns), 1, 8);
        if (!c)
            return QStringLiteral("--columns vill ha ett heltal från 1 till 8");
        b.columns = *c;
    }
    if (parser.isSet(o.pageStyle)) {
        const QString style = parser.value(o.pageStyle);
        if (style != QLatin1String("classic") && style != QLatin1String("modern"))
            return QStringLiteral("okänd stil: %1 (classic eller modern)").arg(style);
        if (b.page.isEmpty())
            return QStringLiteral("--page-style gäller bara med --page");
        b.modernPage = style == QLatin1String("modern");
    }
    if (parser.isSet(o.webSize)) {
        auto n = wholeNumber(parser.value(o.webSize), 100, 16384);
        if (!n && wholeNumber(parser.value(o.webSize), 0, 0))
            n = 0;
        if (!n)
            return QStringLiteral("--web-size vill ha 0 eller ett heltal från 100 till 16384");
        if (!b.modernPage)
            return QStringLiteral("--web-size gäller bara med --page-style modern");
        b.webSize = *n;
    }
    if (parser.isSet(o.sort)) {
        const QString order = parser.value(o.sort);
        if (order != QLatin1String("date") && order != QLatin1String("name"))
            return QStringLiteral("okänd ordning: %1 (date eller name)").arg(order);
        if (!b.modernPage)
            return QStringLiteral("--sort gäller bara med --page-style modern");
        b.dateOrder = order == QLatin1String("date");
    }
    b.recursive = parser.isSet(o.recursive);
    if (parser.isSet(o.jobs)) {
        const auto j = wholeNumber(parser.value(o.jobs), 1, 1024);
        if (!j)
            return QStringLiteral("--jobs vill ha ett heltal från 1 till 1024");
        b.jobs = *j;
    }
    b.update = parser.isSet(o.update);
    b.quiet = parser.isSet(o.quiet);
    if (parser.isSet(o.cancelAfter)) {
        const auto n = wholeNumber(parser.value(o.cancelAfter), 1, std::numeric_limits<int>::max());
        if (!n)
            return QStringLiteral("--cancel-after vill ha ett heltal från 1 och uppåt");
        b.cancelAfter = *n;
    }
    b.timing = parser.isSet(o.timing);
    return {};
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
        result.text = errorText(parserProblem(parser, arguments));
        return result;
    }
    if (parser.isSet(options.help)) {
        result.action = CommandLine::Action::Help;
        result.text = helpText(options);
        return result;
    }
    if (parser.isSet(options.version)) {
        result.action = CommandLine::Action::Version;
        result.text = QStringLiteral("Tumbilder %1\n").arg(versionText());
        return result;
    }
    result.inputs = parser.positionalArguments();
    QString problem = optionProblem(parser, options);
    if (problem.isEmpty() && parser.isSet(options.batch)) {
        result.action = CommandLine::Action::Batch;
        for (const QCommandLineOption &option : options.all())
            if (parser.isSet(option))
                result.batch.given.insert(option.names().constLast(), parser.value(option));
        QStringList warnings;
        problem = readBatch(parser, options, result.batch, warnings);
        for (const QString &warning : std::as_const(warnings))
            result.warnings += QStringLiteral("%1: %2\n").arg(Program, warning);
        if (problem.isEmpty() && result.inputs.isEmpty())
            problem = QStringLiteral("inga bilder angivna");
    } else if (problem.isEmpty()) {
        result.batch.recursive = parser.isSet(options.recursive);
        for (const QCommandLineOption &option : options.batchOnly())
            if (parser.isSet(option))
                problem = QStringLiteral("--%1 gäller bara med --batch").arg(option.names().constLast());
    }
    if (!problem.isEmpty()) {
        result.action = CommandLine::Action::Error;
        result.text = errorText(problem);
    }
    return result;
}

QString commandLineError(const QString &problem)
{
    return errorText(problem);
}

QString missingInputWarning(const QString &path)
{
    return QStringLiteral("%1: finns inte, hoppas över: %2\n").arg(Program, shownInShell(path));
}
