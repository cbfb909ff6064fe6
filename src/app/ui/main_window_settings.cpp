// Loading, saving and restoring the settings file: the values are the controls themselves.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLineEdit>
#include <QMessageBox>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QTreeView>
#include <algorithm>

#include "app/settings_store.h"
#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

// A stored position beyond the end of its list leaves the list without a selection.
void SelectPosition(QComboBox* list, int position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

QString FromUtf8(const std::string& text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string ToUtf8(const QString& text) { return text.toUtf8().toStdString(); }

// Sizes from the file are trusted only within what a screen can show.
int Clamped(int value, int low, int high) { return std::clamp(value, low, std::max(low, high)); }

constexpr int kLargestStoredSize = 16384;

}  // namespace

void Tfrm_Main::LoadSettings()
{
    reelsmith::EnsureSettingsFolder();
    const reelsmith::TSettingsDefaults defaults{m_DefaultWidth, m_DefaultHeight, ListWidth()};
    const TSettingsValues v =
        reelsmith::ReadSettings(reelsmith::TIniFile::Load(reelsmith::SettingsFilePath()), defaults);

    // 1. Destination, Add Files dialog state, update check, original parameters.
    if (v.LocOption == 1)
        chk_Specify->setChecked(true);
    else if (v.LocOption == 2)
        chk_Original->setChecked(true);
    else if (v.LocOption == 3)
        chk_Path->setChecked(true);
    chk_SpecifyClick();
    txt_Path->setText(FromUtf8(v.Location));
    str_AddPath = FromUtf8(v.AddPath);
    m_LastDestination = FromUtf8(v.LastDestination);
    int_AddView = v.AddView;
    str_LastCommand = FromUtf8(v.Command);
    act_Update->setChecked(v.Update);
    chk_OriginalSettings->setChecked(v.OriginalSettings);

    // 2. The custom-size slot is the last resolution entry.
    if (cb_VideoFrameSize->count() > 0)
        cb_VideoFrameSize->setItemText(cb_VideoFrameSize->count() - 1, FromUtf8(v.Custom));

    // 3. Columns, size, tab, maximized.
    QHeaderView* header = lw_Files->header();
    const int columns[] = {v.Column1, v.Column2, v.Column3, v.Column4, v.Column5};
    for (int i = 0; i < 5; ++i)
        header->resizeSection(i, Clamped(columns[i], 0, 4096));
    // The size is cut to the screen when the window is placed (FitOnScreen).
    resize(Clamped(v.Width, minimumWidth(), kLargestStoredSize),
           Clamped(v.Height, minimumHeight(), kLargestStoredSize));
    if (v.Tab >= 0 && v.Tab < tab_Settings->count())
        tab_Settings->setCurrentIndex(v.Tab);
    if (v.Maximized)
        setWindowState(windowState() | Qt::WindowMaximized);

    // 4. The theme itself is applied by the caller.
    act_Dark->setChecked(v.Dark);

    // 5. to 7. Lists whose contents depend on earlier choices come after those choices.
    SelectPosition(cb_Type, v.ProfileType);
    cb_TypeSelect();
    SelectPosition(cb_Format, v.ProfileFormat);
    SelectPosition(cb_CPUUsage, v.CPUusage);
    SelectPosition(cb_Threads, v.Threads);
    SelectPosition(cb_VideoFormat, v.VideoFormat2);
    cb_VideoFormatChange();
    SelectPosition(cb_VideoEncoder, v.VideoEncoder2);
    SelectPosition(cb_VideoAspect, v.VideoAspect2);
    SelectPosition(cb_VideoFrameSize, v.VideoFrameSize2);
    SelectPosition(cb_VideoFrameRate, v.VideoFrameRate2);
    SelectPosition(cb_VideoBitrate, v.VideoBitRate2);
    SelectPosition(cb_AudioFormat, v.AudioFormat2);
    SelectPosition(cb_AudioEncoder, v.AudioEncoder2);
    SelectPosition(cb_AudioChannel, v.AudioChannel2);
    SelectPosition(cb_AudioSampleRate, v.AudioSampleRate2);
    SelectPosition(cb_AudioBitrate, v.AudioBitRate2);
}

bool Tfrm_Main::SaveSettings()
{
    TSettingsValues v;
    v.LocOption = chk_Specify->isChecked() ? 1 : (chk_Original->isChecked() ? 2 : 3);
    v.Location = ToUtf8(txt_Path->text());
    v.AddPath = ToUtf8(str_AddPath);
    v.LastDestination = ToUtf8(m_LastDestination);
    v.AddView = int_AddView;
    v.Command = ToUtf8(str_LastCommand);
    v.Maximized = isMaximized();
    v.Height = height();
    v.Width = width();
    v.OriginalSettings = chk_OriginalSettings->isChecked();
    v.Tab = tab_Settings->currentIndex();
    v.CPUusage = cb_CPUUsage->currentIndex();
    v.Threads = cb_Threads->currentIndex();
    v.Update = act_Update->isChecked();
    if (cb_VideoFrameSize->count() > 0)
        v.Custom = ToUtf8(cb_VideoFrameSize->itemText(cb_VideoFrameSize->count() - 1));
    QHeaderView* header = lw_Files->header();
    v.Column1 = header->sectionSize(0);
    v.Column2 = header->sectionSize(1);
    v.Column3 = header->sectionSize(2);
    v.Column4 = header->sectionSize(3);
    v.Column5 = header->sectionSize(4);
    v.VideoFormat2 = cb_VideoFormat->currentIndex();
    v.VideoEncoder2 = cb_VideoEncoder->currentIndex();
    v.VideoAspect2 = cb_VideoAspect->currentIndex();
    v.VideoFrameSize2 = cb_VideoFrameSize->currentIndex();
    v.VideoFrameRate2 = cb_VideoFrameRate->currentIndex();
    v.VideoBitRate2 = cb_VideoBitrate->currentIndex();
    v.AudioFormat2 = cb_AudioFormat->currentIndex();
    v.AudioEncoder2 = cb_AudioEncoder->currentIndex();
    v.AudioChannel2 = cb_AudioChannel->currentIndex();
    v.AudioSampleRate2 = cb_AudioSampleRate->currentIndex();
    v.AudioBitRate2 = cb_AudioBitrate->currentIndex();
    v.Dark = act_Dark->isChecked();
    v.ProfileType = cb_Type->currentIndex();
    v.ProfileFormat = cb_Format->currentIndex();

    const std::string path = reelsmith::SettingsFilePath();
    reelsmith::EnsureSettingsFolder();
    reelsmith::TIniFile file = reelsmith::TIniFile::Load(path);
    reelsmith::WriteSettings(file, v);
    if (file.Save(path))
        return true;
    QMessageBox::critical(this, QStringLiteral("Error"),
                          QStringLiteral("Unable to write to %1").arg(QString::fromStdString(path)));
    return false;
}

void Tfrm_Main::RestoreDefaultSettings()
{
    QFile::remove(QString::fromStdString(reelsmith::SettingsFilePath()));
    if (isMaximized())
        setWindowState(windowState() & ~Qt::WindowMaximized);
    LoadSettings();
    if (m_Hooks.ApplyTheme)
        m_Hooks.ApplyTheme(*this, act_Dark->isChecked());
    tab_Settings->setCurrentIndex(0);
    SelectPosition(cb_Type, 0);
    cb_TypeSelect();
    SelectPosition(cb_Format, 0);
    ef_VFlip = false;
    ef_HFlip = false;
    ef_Negate = false;
    ef_Dein = false;
    ShowEffects();
    resize(m_DefaultWidth, m_DefaultHeight);
    FitOnScreen();
    const TSettingsValues d = TSettingsValues::Defaults({m_DefaultWidth, m_DefaultHeight, ListWidth()});
    const int widths[] = {d.Column1, d.Column2, d.Column3, d.Column4, d.Column5};
    for (int i = 0; i < 5; ++i)
        lw_Files->header()->resizeSection(i, widths[i]);
}

bool Tfrm_Main::DarkTheme() const { return act_Dark->isChecked(); }

}  // namespace reelsmith
