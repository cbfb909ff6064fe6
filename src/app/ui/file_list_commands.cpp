#include "app/ui/file_list_commands.h"

#include <QFileDialog>
#include <QMessageBox>

#include "app/file_list_io.h"
#include "app/ui/main_window.h"
#include "base/qt/file_name.h"

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
    main.PendingPaths().clear();
    const QString path = AskListFile(main, QFileDialog::AcceptOpen);
    if (!path.isEmpty() && main.ConfirmDiscardList())
        OpenFileList(main, path);
}

void OpenFileList(Tfrm_Main& main, const QString& path)
{
    main.PendingPaths().clear();
    // A pipe or a device is no list: the read below refuses it with its reason.
    if (!PathExists(path))
        return;
    QStringList paths;
    QString error;
    if (!ReadFileList(path, &paths, &error)) {
        ShowFileError(main, error);
        return;
    }
    main.New1Click();
    main.PendingPaths() = paths;
    main.AddFiles();
}

void Save1Click(Tfrm_Main& main)
{
    main.PendingPaths().clear();
    const QString path = AskListFile(main, QFileDialog::AcceptSave);
    if (!path.isEmpty())
        SaveFileList(main, path);
    main.PendingPaths().clear();
}

void SaveFileList(Tfrm_Main& main, const QString& path)
{
    main.PendingPaths().clear();
    const TFileListModel& files = main.Files();
    if (files.Count() > 0) {
        for (int i = 0; i < files.Count(); ++i)
            main.PendingPaths().append(files.Row(i).cell(FileCell::SourcePath));
        QString error;
        if (!WriteFileList(path, main.PendingPaths(), &error))
            ShowFileError(main, error);
    }
    main.PendingPaths().clear();
}

}  // namespace reelsmith
