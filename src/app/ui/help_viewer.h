#pragma once
// The manual inside the program, for a desktop on which no browser can be started: its HTML
// pages in a text browser, links between them followed, Back and Forward like a browser's.
#include <QDialog>

class QTextBrowser;
class QPushButton;

namespace reelsmith {

class Tfrm_HelpViewer : public QDialog {
    Q_OBJECT
public:
    explicit Tfrm_HelpViewer(const QString& page, QWidget* parent = nullptr);

    QTextBrowser* txt_Help = nullptr;
    QPushButton* btn_Back = nullptr;
    QPushButton* btn_Forward = nullptr;
    QPushButton* btn_Close = nullptr;

private:
    void FollowLink(const QUrl& url);
};

// Shows the viewer at `page` over `parent`, reusing an open one.
void ShowHelpViewer(QWidget* parent, const QString& page);

}  // namespace reelsmith
