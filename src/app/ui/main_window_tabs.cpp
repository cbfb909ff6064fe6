// The settings tabs below the file list: profiles, video, audio, CPU usage and output.
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/ui/main_window.h"

namespace {

QComboBox* MakeList(QWidget* parent, const char* name)
{
    auto* list = new QComboBox(parent);
    list->setObjectName(QString::fromLatin1(name));
    list->setMinimumContentsLength(8);
    list->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    list->setMaxVisibleItems(16);
    return list;
}

QLabel* MakeLabel(QWidget* parent, const QString& caption, QWidget* buddy, bool bold = false)
{
    auto* label = new QLabel(caption, parent);
    label->setBuddy(buddy);
    if (bold) {
        QFont font = label->font();
        font.setBold(true);
        label->setFont(font);
    }
    return label;
}

// A tab page laid out as label/list pairs in two columns.
QGridLayout* MakeGrid(QWidget* page)
{
    auto* grid = new QGridLayout(page);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(4, 1);
    grid->setColumnMinimumWidth(2, 16);
    return grid;
}

void AddPair(QGridLayout* grid, int row, int pairColumn, QLabel* label, QWidget* field)
{
    grid->addWidget(label, row, pairColumn * 3);
    grid->addWidget(field, row, pairColumn * 3 + 1);
}

}  // namespace

QWidget* Tfrm_Main::BuildSettingsTabs()
{
    tab_Settings = new QTabWidget(this);
    tab_Settings->setObjectName(QStringLiteral("tab_Settings"));
    tab_Settings->addTab(BuildProfilesTab(), QStringLiteral(" Profiles "));
    tab_Settings->addTab(BuildVideoTab(), QStringLiteral(" Video settings "));
    tab_Settings->addTab(BuildAudioTab(), QStringLiteral(" Audio settings "));
    tab_Settings->addTab(BuildCpuTab(), QStringLiteral(" CPU usage "));
    tab_Settings->addTab(BuildOutputTab(), QStringLiteral(" Output "));
    return tab_Settings;
}

QWidget* Tfrm_Main::BuildProfilesTab()
{
    auto* page = new QWidget(this);
    QGridLayout* grid = MakeGrid(page);
    cb_Type = MakeList(page, "cb_Type");
    cb_Format = MakeList(page, "cb_Format");
    cb_Format->setMinimumContentsLength(16);
    chk_OriginalSettings = new QCheckBox(QStringLiteral("Original parameters"), page);
    chk_OriginalSettings->setObjectName(QStringLiteral("chk_OriginalSettings"));
    chk_OriginalSettings->setChecked(true);
    btn_Apply = new QPushButton(QStringLiteral("Apply"), page);
    btn_Apply->setObjectName(QStringLiteral("btn_Apply"));
    AddPair(grid, 0, 0, MakeLabel(page, QStringLiteral("Type:"), cb_Type), cb_Type);
    AddPair(grid, 1, 0, MakeLabel(page, QStringLiteral("Format:"), cb_Format), cb_Format);
    grid->addWidget(chk_OriginalSettings, 0, 3, 1, 2);
    grid->addWidget(btn_Apply, 1, 3, Qt::AlignLeft);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* Tfrm_Main::BuildVideoTab()
{
    auto* page = new QWidget(this);
    QGridLayout* grid = MakeGrid(page);
    cb_VideoFormat = MakeList(page, "cb_VideoFormat");
    cb_VideoEncoder = MakeList(page, "cb_VideoEncoder");
    cb_VideoAspect = MakeList(page, "cb_VideoAspect");
    cb_VideoFrameSize = MakeList(page, "cb_VideoFrameSize");
    cb_VideoFrameRate = MakeList(page, "cb_VideoFrameRate");
    cb_VideoBitrate = MakeList(page, "cb_VideoBitrate");
    btn_Custom = new QToolButton(page);
    btn_Custom->setObjectName(QStringLiteral("btn_Custom"));
    btn_Custom->setText(QStringLiteral("..."));
    btn_Custom->setToolTip(QStringLiteral("Set custom frame size"));
    auto* frameSize = new QWidget(page);
    auto* frameSizeRow = new QHBoxLayout(frameSize);
    frameSizeRow->setContentsMargins(0, 0, 0, 0);
    frameSizeRow->setSpacing(2);
    frameSizeRow->addWidget(cb_VideoFrameSize, 1);
    frameSizeRow->addWidget(btn_Custom);
    AddPair(grid, 0, 0, MakeLabel(page, QStringLiteral("Format:"), cb_VideoFormat, true), cb_VideoFormat);
    AddPair(grid, 1, 0, MakeLabel(page, QStringLiteral("Encoder:"), cb_VideoEncoder), cb_VideoEncoder);
    AddPair(grid, 2, 0, MakeLabel(page, QStringLiteral("Aspect ratio:"), cb_VideoAspect), cb_VideoAspect);
    AddPair(grid, 0, 1, MakeLabel(page, QStringLiteral("Resolution:"), cb_VideoFrameSize), frameSize);
    AddPair(grid, 1, 1, MakeLabel(page, QStringLiteral("Frame rate:"), cb_VideoFrameRate), cb_VideoFrameRate);
    AddPair(grid, 2, 1, MakeLabel(page, QStringLiteral("Bit rate:"), cb_VideoBitrate), cb_VideoBitrate);
    return page;
}

QWidget* Tfrm_Main::BuildAudioTab()
{
    auto* page = new QWidget(this);
    QGridLayout* grid = MakeGrid(page);
    cb_AudioFormat = MakeList(page, "cb_AudioFormat");
    cb_AudioEncoder = MakeList(page, "cb_AudioEncoder");
    cb_AudioSampleRate = MakeList(page, "cb_AudioSampleRate");
    cb_AudioChannel = MakeList(page, "cb_AudioChannel");
    cb_AudioBitrate = MakeList(page, "cb_AudioBitrate");
    AddPair(grid, 0, 0, MakeLabel(page, QStringLiteral("Format:"), cb_AudioFormat, true), cb_AudioFormat);
    AddPair(grid, 1, 0, MakeLabel(page, QStringLiteral("Encoder:"), cb_AudioEncoder), cb_AudioEncoder);
    AddPair(grid, 0, 1, MakeLabel(page, QStringLiteral("Sample rate:"), cb_AudioSampleRate), cb_AudioSampleRate);
    AddPair(grid, 1, 1, MakeLabel(page, QStringLiteral("Channel:"), cb_AudioChannel), cb_AudioChannel);
    AddPair(grid, 2, 1, MakeLabel(page, QStringLiteral("Bit rate:"), cb_AudioBitrate), cb_AudioBitrate);
    return page;
}

QWidget* Tfrm_Main::BuildCpuTab()
{
    auto* page = new QWidget(this);
    QGridLayout* grid = MakeGrid(page);
    cb_Threads = MakeList(page, "cb_Threads");
    cb_CPUUsage = MakeList(page, "cb_CPUUsage");
    AddPair(grid, 0, 0, MakeLabel(page, QStringLiteral("Threads:"), cb_Threads), cb_Threads);
    AddPair(grid, 1, 0, MakeLabel(page, QStringLiteral("Priority:"), cb_CPUUsage), cb_CPUUsage);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* Tfrm_Main::BuildOutputTab()
{
    auto* page = new QWidget(this);
    auto* column = new QVBoxLayout(page);
    column->setContentsMargins(10, 8, 10, 8);
    column->setSpacing(4);
    chk_Specify = new QRadioButton(QStringLiteral("Specify output path"), page);
    chk_Original = new QRadioButton(QStringLiteral("Use original path"), page);
    chk_Path = new QRadioButton(QStringLiteral("Use following path:"), page);
    chk_Specify->setObjectName(QStringLiteral("chk_Specify"));
    chk_Original->setObjectName(QStringLiteral("chk_Original"));
    chk_Path->setObjectName(QStringLiteral("chk_Path"));
    chk_Specify->setChecked(true);
    txt_Path = new QLineEdit(page);
    txt_Path->setObjectName(QStringLiteral("txt_Path"));
    txt_Path->setEnabled(false);
    btn_Browse = new QToolButton(page);
    btn_Browse->setObjectName(QStringLiteral("btn_Browse"));
    btn_Browse->setText(QStringLiteral("..."));
    btn_Browse->setEnabled(false);
    auto* pathRow = new QHBoxLayout;
    pathRow->setSpacing(2);
    pathRow->addWidget(chk_Path);
    pathRow->addWidget(txt_Path, 1);
    pathRow->addWidget(btn_Browse);
    column->addWidget(chk_Specify);
    column->addWidget(chk_Original);
    column->addLayout(pathRow);
    column->addStretch(1);
    return page;
}

void Tfrm_Main::chk_SpecifyClick()
{
    const bool following = chk_Path->isChecked();
    txt_Path->setEnabled(following);
    btn_Browse->setEnabled(following);
}
