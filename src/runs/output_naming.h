#pragma once
// Where a run writes each output: the destination folder (or the source's own folder),
// the source's file name with the run's extension, and never a source file itself.
#include <QSet>
#include <QString>
#include <QStringList>

namespace reelsmith {

// "." + the lower-cased container text of the video format list, e.g. ".mp4".
QString VideoExtension(const QString& formatText);
// The extension of an audio extraction by the audio format position; empty when none.
QString AudioExtension(int formatIndex);

// Folder + caption with its extension replaced. An empty outputFolder means the folder of
// sourcePath, so every row of an "original path" run lands beside its own source.
QString PlainOutputPath(const QString& sourcePath, const QString& caption, const QString& outputFolder,
                        const QString& extension);

// Whether two paths name the same file (same inode, or the same clean absolute path).
bool SameFile(const QString& a, const QString& b);

// The output path of a row. When the plain path names one of the run's sources (converting
// a file to its own container beside itself, or onto another listed file), " (1)", " (2)", …
// is added to the name until it names none of them: an output never replaces a source.
QString OutputPathFor(const QString& sourcePath, const QString& caption, const QString& outputFolder,
                      const QString& extension, const QStringList& runSources);

// The same, for a run that names every output before converting any: a name in claimed (clean
// absolute paths of earlier rows' outputs, written yet or not) is taken even while it does not
// exist, so a row gets the same name whether rows convert one at a time or side by side, and in
// a rerun.
QString OutputPathFor(const QString& sourcePath, const QString& caption, const QString& outputFolder,
                      const QString& extension, const QStringList& runSources, const QSet<QString>& claimed);

}  // namespace reelsmith
