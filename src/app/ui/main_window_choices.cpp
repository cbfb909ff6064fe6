// The output choices on the settings tabs: filling the fixed lists, the type selection,
// the encoder refill on a format change, applying a profile, and the choices as one value
// for the option builders and the dialogs.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>

#include "app/ui/main_window.h"
#include "settings/profile_catalogue.h"

namespace reelsmith {

namespace {

void FillList(QComboBox* list, const TEntryList& entries)
{
    const QSignalBlocker quiet(list);
    list->clear();
    for (const std::string& entry : entries)
        list->addItem(QString::fromStdString(entry));
}

void FillList(QComboBox* list, const std::vector<std::string>& entries, int selected)
{
    FillList(list, entries);
    list->setCurrentIndex(selected >= 0 && selected < list->count() ? selected : -1);
}

bool Holds(const QComboBox* list, const TEntryList& entries)
{
    if (list->count() != static_cast<int>(entries.size()))
        return false;
    for (int i = 0; i < list->count(); ++i)
        if (list->itemText(i).toStdString() != entries[static_cast<size_t>(i)])
            return false;
    return true;
}

void Select(QComboBox* list, int position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? position : -1);
}

}  // namespace

void Tfrm_Main::FillChoiceLists()
{
    const struct {
        QComboBox* list;
        TChoiceList entries;
    } lists[] = {
        {cb_Type, TChoiceList::ProfileType},
        {cb_VideoFormat, TChoiceList::VideoFormat},
        {cb_VideoAspect, TChoiceList::VideoAspect},
        {cb_VideoFrameSize, TChoiceList::VideoFrameSize},
        {cb_VideoFrameRate, TChoiceList::VideoFrameRate},
        {cb_VideoBitrate, TChoiceList::VideoBitrate},
        {cb_AudioFormat, TChoiceList::AudioFormat},
        {cb_AudioSampleRate, TChoiceList::AudioSampleRate},
        {cb_AudioChannel, TChoiceList::AudioChannel},
        {cb_AudioBitrate, TChoiceList::AudioBitrate},
        {cb_Threads, TChoiceList::Threads},
        {cb_CPUUsage, TChoiceList::CPUUsage},
    };
    for (const auto& entry : lists)
        FillList(entry.list, reelsmith::ChoiceEntries(entry.entries), reelsmith::DefaultPosition(entry.entries));
    cb_TypeSelect();
    cb_VideoFormatChange();
}

void Tfrm_Main::cb_TypeSelect()
{
    cb_Format->setUpdatesEnabled(false);
    FillList(cb_Format, reelsmith::ProfileCaptions(cb_Type->currentIndex()), 0);
    cb_Format->setUpdatesEnabled(true);
}

void Tfrm_Main::cb_VideoFormatChange()
{
    const int format = cb_VideoFormat->currentIndex();
    FillList(cb_VideoEncoder, reelsmith::VideoEncodersOf(format), 0);
    FillList(cb_AudioEncoder, reelsmith::AudioEncodersOf(format), 0);
}

void Tfrm_Main::SelectVideoFormat(int position) { cb_VideoFormat->setCurrentIndex(position); }

void Tfrm_Main::btn_ApplyClick()
{
    reelsmith::TOutputChoices choices = Choices();
    reelsmith::ApplyProfile(choices, cb_Type->currentIndex(), cb_Format->currentIndex(),
                            chk_OriginalSettings->isChecked());
    SetChoices(choices);
}

reelsmith::TOutputChoices Tfrm_Main::Choices() const
{
    reelsmith::TOutputChoices c;
    c.VideoFormat = cb_VideoFormat->currentIndex();
    c.VideoEncoder = cb_VideoEncoder->currentIndex();
    c.VideoAspect = cb_VideoAspect->currentIndex();
    c.VideoFrameSize = cb_VideoFrameSize->currentIndex();
    c.VideoFrameRate = cb_VideoFrameRate->currentIndex();
    c.VideoBitrate = cb_VideoBitrate->currentIndex();
    c.AudioFormat = cb_AudioFormat->currentIndex();
    c.AudioEncoder = cb_AudioEncoder->currentIndex();
    c.AudioSampleRate = cb_AudioSampleRate->currentIndex();
    c.AudioChannel = cb_AudioChannel->currentIndex();
    c.AudioBitrate = cb_AudioBitrate->currentIndex();
    c.Threads = cb_Threads->currentIndex();
    c.CPUUsage = cb_CPUUsage->currentIndex();
    if (cb_VideoFrameSize->count() > 0)
        c.CustomFrameSize = cb_VideoFrameSize->itemText(cb_VideoFrameSize->count() - 1).toStdString();
    c.Effects = {ef_VFlip, ef_HFlip, ef_Negate, ef_Dein, ef_Rotate, ef_Degrees};
    return c;
}

void Tfrm_Main::SetChoices(const reelsmith::TOutputChoices& c)
{
    Select(cb_VideoFormat, c.VideoFormat);
    // The encoder lists follow the format; refilled only when they hold another format's entries.
    if (!Holds(cb_VideoEncoder, reelsmith::VideoEncodersOf(c.VideoFormat)) ||
        !Holds(cb_AudioEncoder, reelsmith::AudioEncodersOf(c.VideoFormat)))
        cb_VideoFormatChange();
    Select(cb_VideoEncoder, c.VideoEncoder);
    Select(cb_VideoAspect, c.VideoAspect);
    if (cb_VideoFrameSize->count() > 0)
        cb_VideoFrameSize->setItemText(cb_VideoFrameSize->count() - 1, QString::fromStdString(c.CustomFrameSize));
    Select(cb_VideoFrameSize, c.VideoFrameSize);
    Select(cb_VideoFrameRate, c.VideoFrameRate);
    Select(cb_VideoBitrate, c.VideoBitrate);
    Select(cb_AudioFormat, c.AudioFormat);
    Select(cb_AudioEncoder, c.AudioEncoder);
    Select(cb_AudioSampleRate, c.AudioSampleRate);
    Select(cb_AudioChannel, c.AudioChannel);
    Select(cb_AudioBitrate, c.AudioBitrate);
    Select(cb_Threads, c.Threads);
    Select(cb_CPUUsage, c.CPUUsage);
    ef_VFlip = c.Effects.ef_VFlip;
    ef_HFlip = c.Effects.ef_HFlip;
    ef_Negate = c.Effects.ef_Negate;
    ef_Dein = c.Effects.ef_Dein;
    ef_Rotate = c.Effects.ef_Rotate;
    ef_Degrees = c.Effects.ef_Degrees;
    ShowEffects();
}

void Tfrm_Main::ShowEffects()
{
    const QString summary = QString::fromStdString(reelsmith::EffectsSummary(Choices().Effects));
    lbl_Effects->setText(QStringLiteral("Effects: ") + summary);
    pnl_Effects->setVisible(!summary.isEmpty());
}

void Tfrm_Main::ClearEffects()
{
    reelsmith::TOutputChoices choices = Choices();
    choices.Effects = reelsmith::WithoutEffects(choices.Effects);
    SetChoices(choices);
}

}  // namespace reelsmith
