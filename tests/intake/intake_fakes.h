#pragma once
// What the intake tests share: file helpers, a probe that needs no libraries and a plain row
// list in place of the main window's model.
#include <QString>
#include <QStringList>
#include <functional>
#include <map>
#include <optional>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "intake/file_list_target.h"
#include "intake/media_probe.h"

// Lets GoogleTest print QStrings in its messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace reelsmith::test {

// Creates `path` with a few bytes in it, and any missing folders on the way.
void Touch(const std::string& path);

// Accepts every file but the rejected ones as a short video, and keeps a record of the calls.
class FakeProbe : public IMediaProbe {
public:
    bool LibrariesLoaded() const override { return loaded; }
    // Fails with `loadError` when that is set.
    bool LoadLibraries(std::string& error) override;
    std::optional<TProbedMedia> Probe(const std::string& path) override;

    bool loaded = true;
    int loadCalls = 0;
    std::string loadError;
    TProbedMedia media{5'000'000, 1, true, 25, 1, 200'000, 160, 120};
    std::set<std::string> rejected;
    std::function<void()> onProbe;      // runs inside each probe
    std::map<std::string, int> probes;  // calls per path
    std::vector<std::string> probed;    // paths in call order
};

// Rows in a vector; a resort orders them by caption without regard to case, as the list does.
class RowList : public IFileListTarget {
public:
    QStringList SourcePaths() const override;
    void AppendRow(TFileListRow row) override { rows.push_back(std::move(row)); }
    void Resort() override;
    QStringList Paths() const { return SourcePaths(); }

    std::vector<TFileListRow> rows;
    int resorts = 0;
};

}  // namespace reelsmith::test
