#pragma once
// Tfrm_Burn ("Burn Disc"): writes the main window's source files to a disc, or to an ISO
// image through the image recorder, under the disc name the user types; erases rewritable
// discs and image files. All disc work goes through its TBurnerSDK `Burner`; the small
// windows Tfrm_Read, Tfrm_Erase and Tfrm_BurnProcess show progress meanwhile.
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <functional>
#include <memory>
#include <vector>

#include "burn/burn_flow.h"
#include "burn/burner_sdk.h"
#include "base/qt/qt_dispatcher.h"
#include "runs/run_log.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTextEdit;
class QTimer;

namespace reelsmith {

class TWin7TaskProgressBar;
class Tfrm_BurnProcess;
class Tfrm_Erase;

struct TBurnWindowOptions {
    bool Dark = false;
    TRgb DarkNeutral{255, 255, 255};
    QObject* Taskbar = nullptr;  // the main window's indicator (prg_Win7), or null
    // The image file for the image recorder (a save dialog by default); empty cancels.
    std::function<QString(QWidget* parent, const QString& suggested)> AskImagePath;
    // The existing image file Erase empties (an open dialog by default); empty cancels.
    std::function<QString(QWidget* parent, const QString& suggested)> AskImageToErase;
    // Message boxes (QMessageBox by default), so that tests can answer them.
    std::function<QMessageBox::StandardButton(QMessageBox::Icon icon, const QString& caption, const QString& text,
                                              QMessageBox::StandardButtons buttons)>
        Message;
    TBurnerSDK::TLibraryFactory Library;  // the burning library (the real one by default)
};

class Tfrm_Burn : public QDialog {
    Q_OBJECT
    // Declared first: Burner serves it while winding down, so it must outlive Burner.
    TQtDispatcher m_Dispatcher;

public:
    Tfrm_Burn(QWidget* owner, std::vector<TBurnRow> rows, TBurnWindowOptions options = {});
    ~Tfrm_Burn() override;

    QLineEdit* txt_Label = nullptr;
    QComboBox* cb_Device_Burn = nullptr;
    QComboBox* cb_WriteSpeed = nullptr;
    QCheckBox* chk_Eject = nullptr;
    QTextEdit* log_Main = nullptr;
    QPushButton* btn_Burn = nullptr;
    QPushButton* btn_Erase_Burn = nullptr;
    QPushButton* Button1 = nullptr;
    QTimer* tmr_Start = nullptr;
    TBurnerSDK Burner;
    bool sdk_NoDisc = true;

    // The shared burn state.
    bool Erasing = false;
    bool Burning = false;
    QString EraseError;
    int SpeedUnit = 1385;

    const TRunLog& Log() const { return m_Log; }
    QPointer<Tfrm_BurnProcess> ProgressWindow() const { return m_Progress; }
    // The last image file chosen for the image recorder.
    const QString& ImagePath() const { return m_ImagePath; }

    void AddLog(const QString& text, TLogColour colour);
    void tmr_StartTimer();
    void cb_Device_BurnChange();
    void cb_WriteSpeedChange();
    void btn_BurnClick();
    void btn_Erase_BurnClick();
    void Button1Click();

    // The library's events (on the UI thread).
    void BurnerProcess(float percent, float deviceBuffer, float cache, double bytesWritten, double imageSize);
    void BurnerFinalize();
    void BurnerBurnDone(const QString& error);
    void BurnerEraseDone(const QString& error);

protected:
    void showEvent(QShowEvent* event) override;
    void done(int result) override;

private:
    void BuildLayout();
    void ApplyStoredSettings();
    void ShowRead(int mode);
    bool NoUsableDisc() const;
    bool ChooseImageFile();
    bool ChooseImageToErase();
    // The image file chosen (empty: the user cancelled, false) becomes the recorder's.
    bool UseImagePath(const QString& path);
    bool ImageRecorderChosen() const;
    bool AddFiles();
    QMessageBox::StandardButton Message(QMessageBox::Icon icon, const QString& text,
                                        QMessageBox::StandardButtons buttons = QMessageBox::Ok);
    QString Stamp() const;
    TWin7TaskProgressBar* Taskbar() const;

    std::vector<TBurnRow> m_Rows;
    TBurnWindowOptions m_Options;
    QPointer<QObject> m_Taskbar;
    QPointer<Tfrm_BurnProcess> m_Progress;
    QPointer<Tfrm_Erase> m_Erase;
    std::vector<std::string> m_Speeds;
    TRunLog m_Log;
    QString m_ImagePath;
    bool m_Shown = false;
    bool m_FirstLine = true;
    bool m_EjectChoice = true;  // the user's switch, kept while the image recorder has it off
};

}  // namespace reelsmith
