#pragma once
// A read-only breadcrumb bar: one button per folder of the current path; clicking one
// opens that folder. When the path is wider than the bar, the leading folders give way
// to a "«" button that opens the folder before the first one shown.
#include <QStringList>
#include <QWidget>

class QHBoxLayout;
class QToolButton;

namespace reelsmith {

class TBreadcrumbBar : public QWidget {
    Q_OBJECT
public:
    explicit TBreadcrumbBar(QWidget* parent = nullptr);

    void SetPath(const QString& folder);
    QString Path() const { return fPath; }
    // The folders the buttons open, root first.
    QStringList Crumbs() const { return fCrumbs; }

signals:
    void FolderClicked(const QString& folder);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Rebuild();
    void FitToWidth();

    QString fPath;
    QStringList fCrumbs;
    QList<QWidget*> fParts;  // per crumb: its button and (after the first) the separator before it
    QToolButton* fMore = nullptr;
    QHBoxLayout* fLayout = nullptr;
};

}  // namespace reelsmith
