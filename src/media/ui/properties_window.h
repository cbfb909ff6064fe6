#pragma once
// The Properties window: what the file list knows about one source file, in read-only
// fields that can be selected and copied, with the icon of the file's type.
#include <QDialog>

#include "intake/file_list_row.h"

class QGridLayout;
class QLabel;
class QLineEdit;
class QPushButton;

namespace reelsmith {

class Tfrm_Properties : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_Properties(QWidget* parent);

    // Fills every field from the row; the file itself is not opened.
    void SetRow(const reelsmith::TFileListRow& row);

    QLabel* Image1 = nullptr;
    QLineEdit* txt_Name = nullptr;
    QLineEdit* txt_Type = nullptr;
    QLineEdit* txt_Size = nullptr;
    QLineEdit* txt_Duration = nullptr;
    QLineEdit* txt_FrameRate = nullptr;
    QLineEdit* txt_Bitrate = nullptr;
    QLineEdit* txt_FrameSize = nullptr;
    QLineEdit* txt_Source = nullptr;
    // What the probe found besides: codecs and the first audio stream.
    QLineEdit* txt_VideoCodec = nullptr;
    QLineEdit* txt_AudioCodec = nullptr;
    QLineEdit* txt_AudioFormat = nullptr;
    QLineEdit* txt_SampleRate = nullptr;
    QLineEdit* txt_Channels = nullptr;
    QPushButton* btn_OK = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* AddField(QGridLayout* grid, int row, const QString& caption, const char* name);
    // The large icon of the file's type, by extension only.
    void ShowTypeIcon();
};

// The type name the desktop gives a file, found by its extension only.
QString FileTypeName(const QString& path);

}  // namespace reelsmith
