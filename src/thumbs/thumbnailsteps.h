#pragma once
#include "drawing.h"
#include "naming.h"
#include "runfiles.h"
#include "saving.h"
#include "codecs/encoders.h"
#include "files/failure.h"
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <memory>
#include <optional>

// The settings a run takes once, before its first picture, for the two
// steps of every picture: drawing (any thread) and saving (in list order).
struct ThumbnailSettings {
    DrawSettings draw;
    SaveSettings save;
};

// The settings from what the user chose, in the window or on the command
// line: the size mode with the canvas as it stands (outer size, twips; in
// the lock-both mode it also gives the bounds) and the percentage, the
// background colour and how the thumbnails are named and saved.
ThumbnailSettings thumbnailSettings(SizeMode mode, CanvasSize canvas, std::optional<double> percent,
                                    ColourValue background, const SaveSettings &save);

// One picture of a run: its folder, ending with the separator, and its file
// name; and, on a page of albums, its album: the folder below the page's
// folder where its thumbnail and page files go (ending with the separator,
// empty for the page's own folder).
struct PictureJob {
    QString folder;
    QString file;
    QString album = {};
    QString path() const { return folder + file; }
    bool operator==(const PictureJob &) const = default;
};

// Where the picture's thumbnail goes: the settings' target folder, in the
// picture's album; empty beside the picture.
QString targetFolder(const SaveSettings &settings, const PictureJob &job);
// The thumbnail's name for the picture, in its album.
ThumbName thumbName(const SaveSettings &settings, const PictureJob &job);

// Every path split at the separator with SplitText; the folder is every
// piece but the last, each followed by the separator.
QList<PictureJob> pictureJobs(const QStringList &paths);

// What a run makes of a picture besides its thumbnail, prepared by the
// drawing step; the step that makes it says what it holds.
struct PreparedExtras {
    virtual ~PreparedExtras() = default;
};

// What the drawing step hands to the saving step.
struct PreparedThumbnail {
    DrawResult drawn;
    Encoded encoded;        // the thumbnail's file, made when the picture was drawn
    PictureStamp stamp;     // the picture as it was read
    QDateTime taken;        // when the picture was taken, or else last changed
    bool made = false;      // with update: its thumbnail is made already, nothing drawn
    QSize madeSize;         // that thumbnail's size, from its header
    // Another picture of the run wants the same thumbnail: nothing drawn,
    // and it is reported.
    bool nameClash = false;
    std::shared_ptr<const PreparedExtras> extras;
};

// What saving the thumbnail did (SaveResult), with the picture's gallery
// entry and, for a picture that could not be read, why.
struct SavedThumbnail : SaveResult {
    std::optional<GalleryEntry> entry; // recorded for every picture that was drawn
    Failure unreadable;                // why a picture that was there could not be read
};

// The settings that shape a thumbnail, as a text a page's record keeps: a
// thumbnail made by other settings is made again.
QString thumbnailShape(const ThumbnailSettings &settings);

class PictureExtras;

// Draws one picture by the settings into its thumbnail and encodes it (with
// update, not when its thumbnail is made already). Touches no shared state
// but `files`: any thread. With extras, the picture is decoded once for
// them too, and the drawn result keeps the decoding for their step.
PreparedThumbnail prepareThumbnail(const ThumbnailSettings &settings, const PictureJob &job, const RunFiles &files,
                                   MemoryBudget *budget = nullptr, const PictureExtras *extras = nullptr);

// Records the gallery entry, names the thumbnail and writes it, never over
// anything. A picture that could not be drawn gets its report line
// ("Fil saknas: ", "Inte en vanlig fil: ", "Kan inte läsa bilden: ",
// "Kan inte skala om bilden: ") and nothing else.
SavedThumbnail saveThumbnail(const SaveSettings &settings, const PictureJob &job, const PreparedThumbnail &prepared,
                             RunFiles &files);

// Files a run makes of each picture besides its thumbnail (a page's), as a
// step of its own: prepared with the thumbnail on any thread, then written
// in list order after it.
class PictureExtras {
public:
    virtual ~PictureExtras() = default;
    // Before the thumbnail is drawn, from the picture's natural size: what
    // `prepare` will make of it, so one decoding serves both.
    virtual OtherSizes otherSizes(const PictureJob &job, const PictureStamp &stamp, QSize natural) const
    {
        Q_UNUSED(job) Q_UNUSED(stamp) Q_UNUSED(natural)
        return {};
    }
    // After the thumbnail was drawn, or found made; any thread. The drawn
    // result may hold the picture's decoding (`prepared.drawn.decoded`).
    virtual std::shared_ptr<const PreparedExtras> prepare(const PictureJob &job, const PreparedThumbnail &prepared,
                                                          MemoryBudget *budget) const = 0;
    // After the thumbnail was saved, in list order: may add report lines,
    // change or drop the gallery entry, or stop the run with a failure.
    virtual void save(const PictureJob &job, const PreparedThumbnail &prepared, SavedThumbnail &saved,
                      QStringList &reportLines) = 0;
};
