#include "media/ui/properties_window.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QMimeDatabase>
#include <QPushButton>
#include <QStyle>

#include "base/qt/number_format.h"
#include "base/ui/push_button.h"
#include "base/ui/toolbar_icons.h"
#include "intake/row_cells.h"

namespace reelsmith {

namespace {

QMimeType TypeByExtension(const QString& path)
{
    return QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension);
}

}  // namespace

QString FileTypeName(const QString& path) { return TypeByExtension(path).comment(); }

Tfrm_Properties::Tfrm_Properties(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frm_Properties"));
    setWindowTitle(QStringLiteral("Properties"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);

    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(12, 12, 12, 12);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(1, 1);

    Image1 = new QLabel(this);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setFixedSize(32, 32);
    grid->addWidget(Image1, 0, 0);
    txt_Name = AddField(grid, 0, {}, "txt_Name");

    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    grid->addWidget(line, 1, 0, 1, 2);

    // The rows under the name, in the order they show.
    struct TFieldRow {
        const char* caption;
        const char* name;
        QLineEdit* Tfrm_Properties::*field;
    };
    const TFieldRow rows[] = {
        {"Type:", "txt_Type", &Tfrm_Properties::txt_Type},
        {"Size:", "txt_Size", &Tfrm_Properties::txt_Size},
        {"Duration:", "txt_Duration", &Tfrm_Properties::txt_Duration},
        {"Frame rate:", "txt_FrameRate", &Tfrm_Properties::txt_FrameRate},
        {"BitRate:", "txt_Bitrate", &Tfrm_Properties::txt_Bitrate},
        {"Frame size:", "txt_FrameSize", &Tfrm_Properties::txt_FrameSize},
        {"Video codec:", "txt_VideoCodec", &Tfrm_Properties::txt_VideoCodec},
        {"Audio codec:", "txt_AudioCodec", &Tfrm_Properties::txt_AudioCodec},
        {"Audio format:", "txt_AudioFormat", &Tfrm_Properties::txt_AudioFormat},
        {"Sample rate:", "txt_SampleRate", &Tfrm_Properties::txt_SampleRate},
        {"Channels:", "txt_Channels", &Tfrm_Properties::txt_Channels},
        {"Source:", "txt_Source", &Tfrm_Properties::txt_Source},
    };
    int row = 2;
    for (const TFieldRow& field : rows)
        this->*field.field = AddField(grid, row++, QString::fromLatin1(field.caption), field.name);
    grid->setRowStretch(row, 1);

    btn_OK = MakePushButton(this, QStringLiteral("OK"), "btn_OK");
    btn_OK->setDefault(true);  // Enter; Esc closes a dialog as well
    connect(btn_OK, &QPushButton::clicked, this, &QDialog::accept);
    grid->addWidget(btn_OK, row + 1, 0, 1, 2, Qt::AlignHCenter);

    resize(440, 434);  // wider and taller than the design for the codec rows
}

QLineEdit* Tfrm_Properties::AddField(QGridLayout* grid, int row, const QString& caption, const char* name)
{
    if (!caption.isEmpty())
        grid->addWidget(new QLabel(caption, this), row, 0);
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setReadOnly(true);
    field->setFrame(false);
    // The dialog's face colour: a text to select and copy, not to edit.
    QPalette palette = field->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Window));
    field->setPalette(palette);
    field->setAutoFillBackground(false);
    grid->addWidget(field, row, 1);
    return field;
}

void Tfrm_Properties::SetRow(const reelsmith::TFileListRow& row)
{
    const QString source = row.cell(FileCell::SourcePath);
    txt_Name->setText(row.Caption);
    txt_Source->setText(source);
    txt_Type->setText(FileTypeName(source));
    txt_Size->setText(reelsmith::FormatFileSize(row.cell(FileCell::SizeBytes).toLongLong()));
    txt_Duration->setText(row.cell(FileCell::DurationText));
    txt_FrameRate->setText(row.cell(FileCell::FrameRateText));
    txt_Bitrate->setText(BitRateWithUnit(row.cell(FileCell::BitRateText)));
    txt_FrameSize->setText(row.cell(FileCell::FrameSizeText));
    txt_VideoCodec->setText(DetailText(row.Media.VideoCodec));
    txt_AudioCodec->setText(DetailText(row.Media.AudioCodec));
    txt_AudioFormat->setText(DetailText(row.Media.AudioFormat));
    txt_SampleRate->setText(SampleRateText(row.Media.SampleRate));
    txt_Channels->setText(ChannelsText(row.Media.Channels, row.Media.ChannelLayout));
    for (QLineEdit* field : findChildren<QLineEdit*>())
        field->setCursorPosition(0);  // long paths show their beginning
}

void Tfrm_Properties::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    ShowTypeIcon();
    if (parentWidget())
        move(parentWidget()->window()->frameGeometry().center() - rect().center());
}

void Tfrm_Properties::ShowTypeIcon()
{
    // By extension only, so a file that has been moved or deleted still shows its type.
    const QString source = txt_Source->text();
    const QMimeType type = TypeByExtension(QFileInfo::exists(source) ? source : txt_Name->text());
    reelsmith::EnsureIconTheme();
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull())
        icon = style()->standardIcon(QStyle::SP_FileIcon, nullptr, this);
    Image1->setPixmap(icon.pixmap(32, 32));
}

}  // namespace reelsmith
