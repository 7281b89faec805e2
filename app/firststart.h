#ifndef FIRSTSTART_H
#define FIRSTSTART_H

#include <QString>

// A new user's first start: the product database that the profile reads is made from the sample
// installed with the program, so the window shows the product's name and version from the first
// run on. A database that is there already is never replaced.
class FirstStart
{
public:
    enum class Outcome {
        AlreadyThere, // something is at the target already; it was left as it is
        Made, // the sample was copied into place
        Failed, // nothing was written
    };

    // Copies the file sample to target when nothing is at target yet, creating target's folder
    // where needed. The copy is written beside target under a temporary name and renamed into
    // place, and the rename never replaces anything, so target is either absent or complete and
    // an existing one stays, also one that appears while the copy is written. On failure, reason
    // (when given) says why.
    static Outcome installSample(const QString &sample, const QString &target,
                                 QString *reason = nullptr);

    // installSample() for the program itself: the sample it was installed with, in the data
    // folder found relative to the program (share/tagdesk beside bin, in the build tree too),
    // to the profile's database. Reports to qDebug() what it made and what failed.
    static void provideProductDatabase();
};

#endif // FIRSTSTART_H
