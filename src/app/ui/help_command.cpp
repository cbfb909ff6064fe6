#include "app/ui/help_command.h"

#include <QFileInfo>
#include <QMessageBox>
#include <QUrl>

#include "base/program_paths.h"
#include "app/ui/help_viewer.h"
#include "app/ui/main_window.h"

namespace reelsmith {

QString HelpFilePath() { return QString::fromStdString(FindProgramFile("help/index.html")); }

void Help2Click(Tfrm_Main& main) { OpenHelp(main, HelpFilePath()); }

void OpenHelp(Tfrm_Main& main, const QString& path, const TDesktopOpener& opener)
{
    if (!path.isEmpty() && QFileInfo(path).isFile()) {
        const QString page = QFileInfo(path).absoluteFilePath();
        if (!opener(QUrl::fromLocalFile(page)))
            ShowHelpViewer(&main, page);
        return;
    }
    QMessageBox::warning(&main, QStringLiteral("Warning"),
                         QStringLiteral("The help file is not found. Please re-install the program."));
}

}  // namespace reelsmith
