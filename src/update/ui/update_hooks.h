#pragma once
// The main window's update timer: the once-per-start update check, over what it needs of
// the main window.
#include <QString>
#include <QStringList>

class QWidget;

namespace reelsmith {

// What the update check needs of the main window.
class IUpdateHost {
public:
    virtual ~IUpdateHost() = default;
    // Owner of the check and of the question; the check ends with it.
    virtual QWidget* Window() = 0;
    virtual const QStringList& Params() const = 0;
    virtual void StopUpdateTimer() = 0;
};

// First tick of the update timer: starts the check on its own thread, once per start and
// never in a command-line run. The check belongs to the main window and ends with it.
void tmr_UpdateTimer(IUpdateHost& host);

// A published version text that arrived (on the main thread): when it is newer than ours,
// asks "Update" over owner and, on Yes, opens the maker's web site.
void UpdateDataArrived(QWidget& owner, const QString& data);

}  // namespace reelsmith
