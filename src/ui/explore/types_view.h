// The focus folder's files by kind (video, images, audio, archives, code,
// documents, disk images, other): one row per kind with its bytes, its share
// and its count, largest first. Choosing a kind lists its largest files
// below; a click on a file selects it, a double click shows it in its folder.
// Interface thread only; rows are forgotten when the forest changes.
#pragma once

#include <QWidget>

#include <vector>

#include "layout/file_kinds.h"

class QLabel;
class QTreeWidget;

namespace tb {

class AppSession;

class TypesView : public QWidget {
    Q_OBJECT
public:
    explicit TypesView(AppSession& session, QWidget* parent = nullptr);

    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }
    const std::vector<FileKinds::Group>& groups() const { return groups_; }
    QTreeWidget* kindList() const { return kinds_; }
    QTreeWidget* fileList() const { return files_; }
    void chooseKind(int row);

private:
    const ScanNode* fileAt(int row) const;

    AppSession& session_;
    const ScanNode* root_ = nullptr;
    std::vector<FileKinds::Group> groups_;
    int chosen_ = -1;
    QTreeWidget* kinds_;
    QLabel* filesTitle_;
    QTreeWidget* files_;
};

} // namespace tb
