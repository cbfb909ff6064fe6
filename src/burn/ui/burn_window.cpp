#include "burn/ui/burn_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTextCursor>
#include <QTextEdit>
#include <QTime>
#include <QTimer>
#include <QVBoxLayout>

#include "base/qt/file_name.h"
#include "burn/ui/burn_process_window.h"
#include "burn/ui/erase_window.h"
#include "burn/ui/read_window.h"
#include "base/qt/file_name.h"
#include "base/ui/system_sound.h"
#include "base/ui/taskbar_progress.h"

namespace reelsmith {

namespace {

constexpr std::int64_t kProjectMargin = 1048576;    // added to the data size in the log
constexpr std::int64_t kBurnCacheSize = 134217728;  // 128 MiB while burning

QString SaveImageDialog(QWidget* parent, const QString& suggested)
{
    return QFileDialog::getSaveFileName(parent, QStringLiteral("Save disc image"), suggested,
                                        QStringLiteral("Disc images (*.iso)"));
}

QString OpenImageDialog(QWidget* parent, const QString& suggested)
{
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Disc image to erase"), suggested,
                                        QStringLiteral("Disc images (*.iso);;All files (*)"));
}

}  // namespace

Tfrm_Burn::Tfrm_Burn(QWidget* owner, std::vector<TBurnRow> rows, TBurnWindowOptions options)
    : QDialog(owner), Burner(m_Dispatcher, options.Library), m_Rows(std::move(rows)), m_Options(std::move(options)),
      m_Taskbar(m_Options.Taskbar)
{
    setObjectName(QStringLiteral("frm_Burn"));
    setWindowTitle(QStringLiteral("Burn Disc"));
    setModal(true);
    setFont(QApplication::font());
    BuildLayout();
    ApplyStoredSettings();
    tmr_Start = new QTimer(this);
    tmr_Start->setSingleShot(true);
    tmr_Start->setInterval(10);
    connect(tmr_Start, &QTimer::timeout, this, &Tfrm_Burn::tmr_StartTimer);
    connect(cb_Device_Burn, &QComboBox::activated, this, &Tfrm_Burn::cb_Device_BurnChange);
    connect(cb_WriteSpeed, &QComboBox::activated, this, &Tfrm_Burn::cb_WriteSpeedChange);
    connect(btn_Burn, &QPushButton::clicked, this, &Tfrm_Burn::btn_BurnClick);
    connect(btn_Erase_Burn, &QPushButton::clicked, this, &Tfrm_Burn::btn_Erase_BurnClick);
    connect(Button1, &QPushButton::clicked, this, &Tfrm_Burn::Button1Click);
    Burner.OnProcess = [this](float percent, float buffer, float cache, double written, double size) {
        BurnerProcess(percent, buffer, cache, written, size);
    };
    Burner.OnFinalize = [this] { BurnerFinalize(); };
    // A library's error may name a source by its bytes.
    Burner.OnBurnDone = [this](const std::string& error) { BurnerBurnDone(DisplayedFileName(FileNameText(error))); };
    Burner.OnEraseDone = [this](const std::string& error) { BurnerEraseDone(QString::fromStdString(error)); };
}

// Burner goes first (members before the base): a running job is aborted and its late
// events are dropped while the window's controls still exist.
Tfrm_Burn::~Tfrm_Burn() { Burner.SetActive(false); }

void Tfrm_Burn::BuildLayout()
{
    resize(520, 420);
    auto* layout = new QVBoxLayout(this);

    auto* labelGroup = new QGroupBox(QStringLiteral(" Disc name "), this);
    auto* labelLayout = new QHBoxLayout(labelGroup);
    txt_Label = new QLineEdit(QStringLiteral("My Videos"), labelGroup);
    txt_Label->setObjectName(QStringLiteral("txt_Label"));
    labelLayout->addWidget(txt_Label);
    layout->addWidget(labelGroup);

    auto* deviceGroup = new QGroupBox(QStringLiteral(" Disc recorder "), this);
    auto* deviceLayout = new QGridLayout(deviceGroup);
    cb_Device_Burn = new QComboBox(deviceGroup);
    cb_Device_Burn->setObjectName(QStringLiteral("cb_Device_Burn"));
    cb_WriteSpeed = new QComboBox(deviceGroup);
    cb_WriteSpeed->setObjectName(QStringLiteral("cb_WriteSpeed"));
    cb_WriteSpeed->setMinimumWidth(80);
    chk_Eject = new QCheckBox(QStringLiteral("Eject disc after burn"), deviceGroup);
    chk_Eject->setObjectName(QStringLiteral("chk_Eject"));
    chk_Eject->setChecked(true);
    deviceLayout->addWidget(cb_Device_Burn, 0, 0);
    deviceLayout->addWidget(cb_WriteSpeed, 0, 1);
    deviceLayout->addWidget(chk_Eject, 1, 0, 1, 2);
    deviceLayout->setColumnStretch(0, 1);
    layout->addWidget(deviceGroup);

    log_Main = new QTextEdit(this);
    log_Main->setObjectName(QStringLiteral("log_Main"));
    log_Main->setReadOnly(true);
    log_Main->setFont(QApplication::font());
    layout->addWidget(log_Main, 1);

    auto* buttons = new QHBoxLayout;
    btn_Burn = new QPushButton(QStringLiteral("Burn"), this);
    btn_Burn->setObjectName(QStringLiteral("btn_Burn"));
    btn_Burn->setDefault(true);
    btn_Erase_Burn = new QPushButton(QStringLiteral("Erase"), this);
    btn_Erase_Burn->setObjectName(QStringLiteral("btn_Erase_Burn"));
    btn_Erase_Burn->setAutoDefault(false);
    Button1 = new QPushButton(QStringLiteral("Close"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button1->setAutoDefault(false);
    buttons->addWidget(btn_Burn);
    buttons->addWidget(btn_Erase_Burn);
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    layout->addLayout(buttons);
}

void Tfrm_Burn::ApplyStoredSettings()
{
    TBurningOptions options;
    options.WriteMethod = wmDefault;
    options.Switches = {osFinalize, osUnderrunProtection, osEjectAfterBurn};
    options.CacheSize = 16777216;
    options.Copies = 0;
    Burner.SetOptions(options);
    TISOInfo iso;
    iso.ApplicationIdentifier = "REELSMITH VIDEO CONVERTER";
    iso.Level = ilLevel1;
    Burner.SetISOInfo(iso);
}

void Tfrm_Burn::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_Shown)
        return;
    m_Shown = true;
    tmr_Start->start();
}

void Tfrm_Burn::done(int result)
{
    // FormClose: the taskbar indicator goes back to nothing.
    if (TWin7TaskProgressBar* bar = Taskbar()) {
        bar->SetProgress(0);
        bar->SetVisible(false);
    }
    QDialog::done(result);
}

TWin7TaskProgressBar* Tfrm_Burn::Taskbar() const { return qobject_cast<TWin7TaskProgressBar*>(m_Taskbar.data()); }

QMessageBox::StandardButton Tfrm_Burn::Message(QMessageBox::Icon icon, const QString& text,
                                               QMessageBox::StandardButtons buttons)
{
    const QString caption = icon == QMessageBox::Critical ? QStringLiteral("Error") : QStringLiteral("Warning");
    if (m_Options.Message)
        return m_Options.Message(icon, caption, text, buttons);
    QMessageBox box(icon, caption, text, buttons, this);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

QString Tfrm_Burn::Stamp() const
{
    return QStringLiteral("[") + QTime::currentTime().toString(QStringLiteral("HH:mm:ss")) + QStringLiteral("] ");
}

void Tfrm_Burn::AddLog(const QString& text, TLogColour colour)
{
    m_Log.Add(text, colour);
    const TRgb rgb = LogColourRgb(colour, m_Options.Dark, m_Options.DarkNeutral);
    QTextCharFormat format;
    format.setForeground(QColor(rgb.R, rgb.G, rgb.B));
    QTextCursor cursor(log_Main->document());
    cursor.movePosition(QTextCursor::End);
    if (!m_FirstLine)
        cursor.insertBlock();
    m_FirstLine = false;
    cursor.insertText(text, format);
    log_Main->verticalScrollBar()->setValue(log_Main->verticalScrollBar()->maximum());
}

void Tfrm_Burn::ShowRead(int mode)
{
    Tfrm_Read window(*this, mode);
    window.exec();
}

bool Tfrm_Burn::NoUsableDisc() const
{
    return Burner.LastError() != 0 || Burner.MediumInformation().MediumTypeCode == mtcUnknown;
}

void Tfrm_Burn::tmr_StartTimer()
{
    AddLog(QStringLiteral("Initialization..."), TLogColour::Neutral);
    ShowRead(0);
    if (!Burner.Active()) {
        // The library could not be activated: say why and close, as without a drive.
        Message(QMessageBox::Critical, QString::fromStdString(Burner.LastErrorText()));
        reject();
        return;
    }
    if (Burner.DeviceCount() == 0) {
        Message(QMessageBox::Critical,
                QStringLiteral("Unable to detect CD/DVD/Blu-ray drive.\n\nPlease run program as administrator."));
        reject();
        return;
    }
    AddLog(QStringLiteral("Devices found:"), TLogColour::Neutral);
    cb_Device_Burn->clear();
    for (int i = 1; i <= Burner.DeviceCount(); ++i) {
        Burner.GetDeviceInfo(i);
        const TDeviceInfo info = Burner.DeviceInfo(i);
        const std::string device = Burner.Devices(i);
        cb_Device_Burn->addItem(
            QString::fromStdString(device.substr(0, 1) + ": " + info.VendorID + " " + info.ProductID));
        AddLog(QString::fromStdString(device), TLogColour::Neutral);
    }
    cb_Device_Burn->setCurrentIndex(0);
    ShowRead(1);
    cb_Device_BurnChange();
    AddLog(QString(), TLogColour::Neutral);
}

bool Tfrm_Burn::ImageRecorderChosen() const { return Burner.IsImageRecorder(cb_Device_Burn->currentIndex() + 1); }

void Tfrm_Burn::cb_Device_BurnChange()
{
    Burner.SetBurnDevice(cb_Device_Burn->currentIndex() + 1);
    // A file is neither ejected nor written at a disc speed: both are off for the image
    // recorder, and the user's eject choice comes back with a drive.
    const bool image = ImageRecorderChosen();
    if (image && chk_Eject->isEnabled())
        m_EjectChoice = chk_Eject->isChecked();
    chk_Eject->setChecked(image ? false : m_EjectChoice);
    chk_Eject->setEnabled(!image);
    cb_WriteSpeed->setEnabled(!image);
    cb_WriteSpeed->setToolTip(image ? QStringLiteral("An image file is written at full speed.") : QString());
    cb_WriteSpeed->setUpdatesEnabled(false);
    cb_WriteSpeed->clear();
    m_Speeds = BuildSpeedList(Burner, sdk_NoDisc, &SpeedUnit);
    for (const std::string& speed : m_Speeds)
        cb_WriteSpeed->addItem(QString::fromStdString(speed));
    if (cb_WriteSpeed->count() > 0)
        cb_WriteSpeed->setCurrentIndex(0);
    cb_WriteSpeed->setUpdatesEnabled(true);
}

void Tfrm_Burn::cb_WriteSpeedChange()
{
    Burner.SetBurnSpeed(SpeedForChoice(m_Speeds, cb_WriteSpeed->currentIndex(), SpeedUnit));
}

bool Tfrm_Burn::ChooseImageFile()
{
    if (!Burner.IsImageRecorder(cb_Device_Burn->currentIndex() + 1))
        return true;
    const QString folder = m_ImagePath.isEmpty() ? QDir::homePath() : QFileInfo(m_ImagePath).absolutePath();
    const QString suggested = folder + QLatin1Char('/') + txt_Label->text() + QStringLiteral(".iso");
    return UseImagePath(m_Options.AskImagePath ? m_Options.AskImagePath(this, suggested)
                                               : SaveImageDialog(this, suggested));
}

bool Tfrm_Burn::ChooseImageToErase()
{
    const QString suggested = m_ImagePath.isEmpty() ? QDir::homePath() : m_ImagePath;
    return UseImagePath(m_Options.AskImageToErase ? m_Options.AskImageToErase(this, suggested)
                                                  : OpenImageDialog(this, suggested));
}

bool Tfrm_Burn::UseImagePath(const QString& path)
{
    if (path.isEmpty())
        return false;
    m_ImagePath = path;
    Burner.SetImagePath(QFile::encodeName(path).toStdString());
    return true;
}

bool Tfrm_Burn::AddFiles()
{
    AddLog(QStringLiteral("Adding files..."), TLogColour::Green);
    const bool allAdded = AddRowsToProject(Burner, m_Rows, [this](const std::string& line) {
        AddLog(DisplayedFileName(FileNameText(line)), TLogColour::Red);
    });
    return allAdded || Message(QMessageBox::Warning,
                               QStringLiteral("Some files were not added. Would you like to continue with burning?"),
                               QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

void Tfrm_Burn::btn_BurnClick()
{
    if (!Burner.Active() || !ChooseImageFile())
        return;
    ShowRead(1);
    Burning = false;
    if (NoUsableDisc()) {
        Message(QMessageBox::Critical, QStringLiteral("Disc is not inserted."));
        return;
    }
    Burner.ClearAll();
    Burner.SetProjectType(ptISOUDF);
    TBurningOptions options = Burner.Options();
    options.Switches.Set(osEjectAfterBurn, chk_Eject->isChecked());
    options.CacheSize = kBurnCacheSize;
    options.VolumeLabel = txt_Label->text().toStdString();
    Burner.SetOptions(options);
    if (!AddFiles())
        return;

    AddLog(QString(), TLogColour::Neutral);
    const std::int64_t size = Burner.DataProjectSize() + kProjectMargin;
    AddLog(QString::fromStdString(DataLine(Burner.DataProjectCount(), size)), TLogColour::Neutral);
    const TMediumInfo& medium = Burner.MediumInformation();
    AddLog(QString::fromStdString("Disc: " + DiscTypeText(medium) + ", " + BurnSizeText(medium.MediumFreeSize)),
           TLogColour::Neutral);
    AddLog(QString(), TLogColour::Neutral);

    Burner.Prepare();
    if (Burner.LastError() != 0) {
        AddLog(QString::fromStdString(Burner.LastErrorText()), TLogColour::Red);
        AddLog(QString(), TLogColour::Neutral);
        return;
    }
    if (TWin7TaskProgressBar* bar = Taskbar()) {
        bar->SetVisible(true);
        bar->SetStyle(TTaskBarProgressStyle::tbpsNormal);
    }
    Burning = true;
    AddLog(Stamp() + QStringLiteral("Burning disc..."), TLogColour::Green);
    Tfrm_BurnProcess window(*this);
    m_Progress = &window;
    window.exec();
    m_Progress = nullptr;
}

void Tfrm_Burn::btn_Erase_BurnClick()
{
    if (!Burner.Active())
        return;
    // An image is chosen first, so that the question names the file it empties.
    const bool image = ImageRecorderChosen();
    if (image && !ChooseImageToErase())
        return;
    QString question =
        QStringLiteral("Are you sure you want to erase the disc?\nErasing will remove all information from the disc.");
    if (image)
        question += QStringLiteral("\n\nThe image file %1 will be emptied.").arg(DisplayedFileName(m_ImagePath));
    if (Message(QMessageBox::Warning, question, QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    ShowRead(1);
    if (NoUsableDisc()) {
        Message(QMessageBox::Critical, QStringLiteral("Disc is not inserted."));
        return;
    }
    Erasing = true;
    EraseError.clear();
    AddLog(Stamp() + QStringLiteral("Erasing disc..."), TLogColour::Green);
    if (image)
        AddLog(QStringLiteral("Image: %1").arg(DisplayedFileName(m_ImagePath)), TLogColour::Neutral);
    {
        Tfrm_Erase window(*this);
        window.bool_Done = false;
        m_Erase = &window;
        window.exec();
        m_Erase = nullptr;
    }
    if (!EraseError.isEmpty()) {
        AddLog(Stamp() + QStringLiteral("Error!"), TLogColour::Red);
        PlaySystemSound(TSystemSound::CriticalStop);
    } else {
        AddLog(Stamp() + QStringLiteral("Success!"), TLogColour::Green);
        PlaySystemSound(TSystemSound::Default);
    }
    Erasing = false;
    AddLog(QString(), TLogColour::Neutral);
}

void Tfrm_Burn::Button1Click()
{
    if (Burner.Active())
        Burner.ClearAll();
    close();
}

void Tfrm_Burn::BurnerProcess(float percent, float /*deviceBuffer*/, float /*cache*/, double bytesWritten,
                              double imageSize)
{
    if (Erasing || !Burning || !m_Progress)
        return;
    const int position = static_cast<int>(percent);
    m_Progress->prg_Extract->setValue(position);
    if (TWin7TaskProgressBar* bar = Taskbar()) {
        bar->SetMax(100);
        bar->SetProgress(position);
    }
    m_Progress->lbl_Percent->setText(QString::number(position) + QLatin1Char('%'));
    m_Progress->lbl_Written->setText(QString::fromStdString(WrittenText(bytesWritten, imageSize)));
}

void Tfrm_Burn::BurnerFinalize()
{
    Burning = false;
    if (!m_Progress)
        return;
    AddLog(Stamp() + QStringLiteral("Closing track..."), TLogColour::Green);
    m_Progress->lbl_Burn->setText(QStringLiteral("Closing track... "));
    m_Progress->prg_Extract->setValue(100);
    m_Progress->lbl_Percent->setText(QStringLiteral("100%"));
    m_Progress->btn_Cancel->setEnabled(false);
}

void Tfrm_Burn::BurnerBurnDone(const QString& error)
{
    if (Erasing)
        return;
    if (m_Progress)
        m_Progress->bool_Done = true;
    TWin7TaskProgressBar* bar = Taskbar();
    if (bar) {
        bar->SetMax(100);
        bar->SetProgress(100);
    }
    if (!error.isEmpty()) {
        if (bar)
            bar->SetStyle(TTaskBarProgressStyle::tbpsError);
        AddLog(Stamp() + error, TLogColour::Red);
        PlaySystemSound(TSystemSound::CriticalStop);
    } else {
        AddLog(Stamp() + QStringLiteral("Success!"), TLogColour::Green);
        // An image is a file the user will look for: say where it went.
        if (Burner.IsImageRecorder(cb_Device_Burn->currentIndex() + 1) && !m_ImagePath.isEmpty())
            AddLog(QStringLiteral("Image saved: %1").arg(DisplayedFileName(m_ImagePath)), TLogColour::Neutral);
        PlaySystemSound(TSystemSound::Default);
    }
    AddLog(QString(), TLogColour::Neutral);
    // Not left to the window's 100 ms check: Cancel should close it as soon as the burn ends.
    if (m_Progress)
        m_Progress->Finish();
}

void Tfrm_Burn::BurnerEraseDone(const QString& error)
{
    if (m_Erase)
        m_Erase->bool_Done = true;
    EraseError = error;
}

}  // namespace reelsmith
