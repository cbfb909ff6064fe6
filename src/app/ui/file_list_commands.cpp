#include "app/ui/file_list_commands.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "app/file_list_io.h"
#include "app/ui/main_window.h"

namespace reelsmith {

namespace {

QString AskListFile(Tfrm_Main& main, QFileDialog::AcceptMode mode)
{
    QFileDialog dialog(&main);
    dialog.setObjectName(QStringLiteral("dlg_FileList"));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dialog.setNameFilter(QString::fromLatin1(kFileListFilter));
    dialog.setDefaultSuffix(QStringLiteral("fls"));
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

void ShowFileError(Tfrm_Main& main, const QString& error)
{
    QMessageBox::critical(&main, QStringLiteral("Error"), error);
}

}  // namespace

void Open1Click(Tfrm_Main& main)
{
    main.DroppedFiles.clear();
    const QString path = AskListFile(main, QFileDialog::AcceptOpen);
    if (!path.isEmpty())
        OpenFileList(main, path);
}

void OpenFileList(Tfrm_Main& main, const QString& path)
{
    main.DroppedFiles.clear();
    if (!QFileInfo(path).isFile())
        return;
    QStringList paths;
    QString error;
    if (!ReadFileList(path, &paths, &error)) {
        ShowFileError(main, error);
        return;
    }
    main.New1Click();
    main.DroppedFiles = paths;
    main.AddFiles();
}

void Save1Click(Tfrm_Main& main)
{
    main.DroppedFiles.clear();
    const QString path = AskListFile(main, QFileDialog::AcceptSave);
    if (!path.isEmpty())
        SaveFileList(main, path);
    main.DroppedFiles.clear();
}

void SaveFileList(Tfrm_Main& main, const QString& path)
{
    main.DroppedFiles.clear();
    const TFileListModel& files = main.Files();
    if (files.Count() > 0) {
        for (int i = 0; i < files.Count(); ++i)
            main.DroppedFiles.append(files.Row(i).cell(FileCell::SourcePath));
        QString error;
        if (!WriteFileList(path, main.DroppedFiles, &error))
            ShowFileError(main, error);
    }
    main.DroppedFiles.clear();
}

}  // namespace reelsmith
