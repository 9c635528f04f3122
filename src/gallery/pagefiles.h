#pragma once
#include "thumbs/budget.h"
#include "thumbs/thumbnailsteps.h"
#include <QSet>

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
    // The classic page: only a camera's raw file gets a JPG copy, of its
    // own size; every other picture is copied as it is.
    bool classic = false;
};

// The long side of the picture's JPG copy on the page; 0 for none (the
// original is copied).
int copyLongSide(const PageFileSettings &want, const QString &file);

// The settings that shape a web-size copy, as the page's record keeps them.
QString webCopyShape(int longSide, ColourValue background);

// The size of the web-size copy of a picture of `natural` pixels.
QSize webSize(QSize natural, int longSide);

// The web-size copy's file, transparent parts over `background`; from the
// picture's own decoding and resampling, within the budget.
Encoded encodeWebSize(const QString &path, int longSide, ColourValue background, MemoryBudget *budget = nullptr);
// The same from a picture decoded already, `size` pixels (its webSize()).
Encoded encodeWebSize(const DecodedPicture &picture, QSize size, ColourValue background);

// The modern page's doubles and web-size copies (the classic page's JPG
// copies of raw files too), as a step of the run.
class ModernPageFiles : public PictureExtras {
public:
    ModernPageFiles(const ThumbnailSettings &settings, PageFileSettings want, const QList<PictureJob> &jobs,
                    RunFiles &files);

    // The largest of the double and the web-size copy, so the thumbnail's
    // decoding makes both.
    OtherSizes otherSizes(const PictureJob &job, const PictureStamp &stamp, QSize natural) const override;
    std::shared_ptr<const PreparedExtras> prepare(const PictureJob &job, const PreparedThumbnail &prepared,
                                                  MemoryBudget *budget) const override;
    // A name already taken by this run becomes a report line instead (a
    // picture whose copy cannot be made loses its entry); a failed write
    // stops the run.
    void save(const PictureJob &job, const PreparedThumbnail &prepared, SavedThumbnail &saved,
              QStringList &reportLines) override;

private:
    bool takenByRun(const QString &path) const;
    // Where the picture's web-size copy goes; empty for none.
    QString webSizePath(const PictureJob &job) const;

    const ThumbnailSettings m_settings;
    const PageFileSettings m_want;
    RunFiles &m_files;
    QSet<QString> m_pictures;   // the run's pictures, canonical paths
};
