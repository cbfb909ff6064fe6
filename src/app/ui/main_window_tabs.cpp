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
#include <initializer_list>

#include "app/ui/main_window.h"

namespace reelsmith {

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

// One captioned list of a tab and its place in the two columns of pairs.
struct TListPair {
    QComboBox** list;
    const char* name;
    const char* caption;
    int row;
    int pairColumn;
    bool bold = false;
};

// Lays the page out as label/list pairs. The lists are made first, in table order, which is
// also their tab order.
QGridLayout* MakeListGrid(QWidget* page, std::initializer_list<TListPair> pairs)
{
    QGridLayout* grid = MakeGrid(page);
    for (const TListPair& pair : pairs)
        *pair.list = MakeList(page, pair.name);
    for (const TListPair& pair : pairs) {
        grid->addWidget(MakeLabel(page, QString::fromLatin1(pair.caption), *pair.list, pair.bold), pair.row,
                        pair.pairColumn * 3);
        grid->addWidget(*pair.list, pair.row, pair.pairColumn * 3 + 1);
    }
    return grid;
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
    QGridLayout* grid = MakeListGrid(page, {
                                               {&cb_Type, "cb_Type", "Type:", 0, 0},
                                               {&cb_Format, "cb_Format", "Format:", 1, 0},
                                           });
    cb_Format->setMinimumContentsLength(16);
    chk_OriginalSettings = new QCheckBox(QStringLiteral("Original parameters"), page);
    chk_OriginalSettings->setObjectName(QStringLiteral("chk_OriginalSettings"));
    chk_OriginalSettings->setChecked(true);
    btn_Apply = new QPushButton(QStringLiteral("Apply"), page);
    btn_Apply->setObjectName(QStringLiteral("btn_Apply"));
    grid->addWidget(chk_OriginalSettings, 0, 3, 1, 2);
    grid->addWidget(btn_Apply, 1, 3, Qt::AlignLeft);
    grid->setRowStretch(3, 1);
    return page;
}

QWidget* Tfrm_Main::BuildVideoTab()
{
    auto* page = new QWidget(this);
    QGridLayout* grid = MakeListGrid(page, {
                                               {&cb_VideoFormat, "cb_VideoFormat", "Format:", 0, 0, true},
                                               {&cb_VideoEncoder, "cb_VideoEncoder", "Encoder:", 1, 0},
                                               {&cb_VideoAspect, "cb_VideoAspect", "Aspect ratio:", 2, 0},
                                               {&cb_VideoFrameSize, "cb_VideoFrameSize", "Resolution:", 0, 1},
                                               {&cb_VideoFrameRate, "cb_VideoFrameRate", "Frame rate:", 1, 1},
                                               {&cb_VideoBitrate, "cb_VideoBitrate", "Bit rate:", 2, 1},
                                           });
    btn_Custom = new QToolButton(page);
    btn_Custom->setObjectName(QStringLiteral("btn_Custom"));
    btn_Custom->setText(QStringLiteral("..."));
    btn_Custom->setToolTip(QStringLiteral("Set custom frame size"));
    // The resolution list shares its cell with the "..." button.
    auto* frameSize = new QWidget(page);
    delete grid->replaceWidget(cb_VideoFrameSize, frameSize);
    auto* frameSizeRow = new QHBoxLayout(frameSize);
    frameSizeRow->setContentsMargins(0, 0, 0, 0);
    frameSizeRow->setSpacing(2);
    frameSizeRow->addWidget(cb_VideoFrameSize, 1);
    frameSizeRow->addWidget(btn_Custom);
    return page;
}

QWidget* Tfrm_Main::BuildAudioTab()
{
    auto* page = new QWidget(this);
    MakeListGrid(page, {
                           {&cb_AudioFormat, "cb_AudioFormat", "Format:", 0, 0, true},
                           {&cb_AudioEncoder, "cb_AudioEncoder", "Encoder:", 1, 0},
                           {&cb_AudioSampleRate, "cb_AudioSampleRate", "Sample rate:", 0, 1},
                           {&cb_AudioChannel, "cb_AudioChannel", "Channel:", 1, 1},
                           {&cb_AudioBitrate, "cb_AudioBitrate", "Bit rate:", 2, 1},
                       });
    return page;
}

QWidget* Tfrm_Main::BuildCpuTab()
{
    auto* page = new QWidget(this);
    QGridLayout* grid = MakeListGrid(page, {
                                               {&cb_Threads, "cb_Threads", "Threads:", 0, 0},
                                               {&cb_CPUUsage, "cb_CPUUsage", "Priority:", 1, 0},
                                           });
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

reelsmith::TDestinationChoice Tfrm_Main::DestinationChoice() const
{
    return chk_Original->isChecked() ? reelsmith::TDestinationChoice::Original
           : chk_Path->isChecked()   ? reelsmith::TDestinationChoice::Path
                                     : reelsmith::TDestinationChoice::Specify;
}

QString Tfrm_Main::OutputFolderText() const { return txt_Path->text(); }

void Tfrm_Main::SetOutputFolderText(const QString& folder) { txt_Path->setText(folder); }

void Tfrm_Main::ShowOutputTab()
{
    for (int i = 0; i < tab_Settings->count(); ++i)
        if (tab_Settings->tabText(i) == QLatin1String(" Output "))
            tab_Settings->setCurrentIndex(i);
}

}  // namespace reelsmith
