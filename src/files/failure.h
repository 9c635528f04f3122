#pragma once
#include <QString>

// An error as the user sees it: a number and a description. File-system
// failures carry errno and the system's text; decoder and encoder failures
// carry our own fixed codes below.
struct Failure {
    int number = 0;
    QString description;
    // Why, in a few words of our own, for a report line that has room for
    // it: "för stor: 70000 × 70000", "skadad: filen tar slut för tidigt".
    QString reason;
    bool failed() const { return number != 0; }
};

namespace FailureCode {
constexpr int NotAPicture = 481;      // not a picture we can decode
constexpr int PictureTooLarge = 482;  // declared size beyond what we will allocate
constexpr int EncoderFailed = 483;    // the GIF, JPEG or BMP encoder gave up
constexpr int UnsupportedFormat = 484; // a picture, but a kind of it we do not decode
constexpr int BadFileName = 52;       // a name no file can have (separator or NUL in it)
}

// The text of a message box about a failure: the context sentence (ending
// with a colon and a blank), the description, a carriage return alone, then
// "Felkod: " and the number.
QString failureMessage(const QString &context, const Failure &f);

// errno with the system's own description.
Failure systemFailure(int errnum);
Failure failure(int number, const QString &description, const QString &reason = QString());
