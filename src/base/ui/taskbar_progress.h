#pragma once
// Progress on the main window's taskbar button. On Linux the docks that show such progress
// (KDE Plasma, GNOME's dock extensions) listen for the launcher-entry "Update" signal on the
// session bus; without a session bus every operation only keeps its fields.
#include <QObject>
#include <QString>
#include <QVariantMap>
#include <QDBusConnection>
#include <functional>
#include <memory>

class QWidget;

namespace reelsmith {

enum class TTaskBarProgressStyle { tbpsNone, tbpsIndeterminate, tbpsNormal, tbpsError, tbpsPaused };

// What the indicator tells the taskbar: a state and a value out of a total.
class TTaskbarSink {
public:
    virtual ~TTaskbarSink() = default;
    virtual void SetProgressState(TTaskBarProgressStyle style) = 0;
    virtual void SetProgressValue(int completed, int total) = 0;
};

// Turns states and values into launcher-entry properties ("progress", "progress-visible",
// "urgent") and hands each changed set to `send`. A value shown while there is no progress
// (or while indeterminate) brings the bar back in the normal state, as the taskbar does.
class TLauncherEntrySink : public TTaskbarSink {
public:
    using Sender = std::function<void(const QVariantMap& properties)>;
    explicit TLauncherEntrySink(Sender send);

    void SetProgressState(TTaskBarProgressStyle style) override;
    void SetProgressValue(int completed, int total) override;

    // A sender that emits com.canonical.Unity.LauncherEntry.Update on `bus`.
    static Sender BusSender(QDBusConnection bus);
    // "application://<desktop file>" as the docks match it to the program's launcher.
    static QString AppUri();

private:
    TTaskBarProgressStyle m_State = TTaskBarProgressStyle::tbpsNone;
    Sender m_Send;
};

class TWin7TaskProgressBar : public QObject {
    Q_OBJECT
public:
    // Bound to `window`'s taskbar button through the session bus when there is one. A null
    // window leaves the indicator without a taskbar and its fields at zero.
    explicit TWin7TaskProgressBar(QWidget* window);
    // As above with the given sink; a null sink means no taskbar.
    TWin7TaskProgressBar(QWidget* window, std::unique_ptr<TTaskbarSink> sink);
    ~TWin7TaskProgressBar() override;

    TWin7TaskProgressBar(const TWin7TaskProgressBar&) = delete;
    TWin7TaskProgressBar& operator=(const TWin7TaskProgressBar&) = delete;

    int Min() const { return glMin; }
    int Max() const { return glMax; }
    int Progress() const { return glValue; }
    bool Marquee() const { return glMarquee; }
    TTaskBarProgressStyle Style() const { return glStyle; }
    bool Visible() const { return glVisible; }

    void SetMin(int value);
    void SetMax(int value);
    void SetProgress(int value);
    void SetMarquee(bool value);
    void SetStyle(TTaskBarProgressStyle value);
    void SetVisible(bool value);

    bool HasTaskbar() const { return glHandle && glTaskBarInterface; }

private:
    QWidget* glHandle = nullptr;
    std::unique_ptr<TTaskbarSink> glTaskBarInterface;
    int glMin = 0;
    int glMax = 0;
    int glValue = 0;
    TTaskBarProgressStyle glStyle = TTaskBarProgressStyle::tbpsNone;
    bool glVisible = false;
    bool glMarquee = false;
};

}  // namespace reelsmith
