#pragma once
#include "budget.h"
#include "drawing.h"
#include "naming.h"
#include "platform/encoders.h"
#include "platform/failure.h"
#include <QSet>
#include <QStringList>

struct PictureJob;
struct Prepared;
struct Committed;
struct RunSettings;

// What a modern page wants of each picture besides its thumbnail, made by
// the same run into the page folder. These files are the page's own, as
// its copies of the pictures are: they replace a file of their name there,
// but never one this run wrote, nor a picture of the run. Each carries its
// picture's modification time, so the next run knows it up to date and
// leaves it be.
struct PageFileSettings {
    bool doubled = false;   // the thumbnail at twice its pixels: <thumbnail stem>@2x<extension>
    // A JPG of the picture this many pixels on its long side (never more
    // than its own), oriented, in sRGB, without metadata; 0 for none.
    int webSize = 0;
    bool wanted() const { return doubled || webSize > 0; }
};

// The double of the thumbnail `thumbStem` + the format's extension (with
// or without its folder).
QString doubledName(const QString &thumbStem, OutputFormat format);
// A JPG keeps its name, any other picture gets ".jpg" after its own, so no
// two pictures of different names share a copy.
QString webSizeName(const QString &file);
// The size of the web-size copy of a picture of `natural` pixels.
QSize webSize(QSize natural, int longSide);

// The web-size copy's file, transparent parts over `background`; from the
// picture's own decoding and resampling, within the budget.
Encoded encodeWebSize(const QString &path, int longSide, ColourValue background, MemoryBudget *budget = nullptr);

// What the drawing step made of them: the files' content, or that the file
// there is up to date.
struct PreparedPageFiles {
    Encoded doubled;
    QSize doubledSize;
    bool doubledUpToDate = false;
    Encoded webSized;
    bool webSizedUpToDate = false;
};

// Part of the drawing step (any thread), after the thumbnail was drawn.
void preparePageFiles(const RunSettings &settings, const PictureJob &job, Prepared &prepared,
                      MemoryBudget *budget);

// Part of the saving step (in list order), after the thumbnail was saved:
// writes a picture's page files and notes them in its gallery entry.
class PageFilesRun {
public:
    PageFilesRun(const RunSettings &settings, const QList<PictureJob> &jobs);

    // A name already taken by this run becomes a report line instead (a
    // picture whose copy cannot be made loses its entry); a failed write
    // stops the run.
    void commit(const PictureJob &job, const Prepared &prepared, Committed &committed, QStringList &reportLines);

private:
    bool takenByRun(const QString &path) const;
    Failure write(const QString &path, const Encoded &encoded, const QString &picture);

    const RunSettings &m_settings;
    QSet<QString> m_pictures;   // the run's pictures, canonical paths
    QSet<QString> m_taken;      // the run's thumbnails, and the files it wrote here
};
