// The focus folder's files by kind (video, images, audio, archives, code,
// documents, disk images, other): one row per kind with its bytes, its share
// and its count, largest first, and inside it a row per extension. Choosing
// a kind lists its largest files below; a click on a file selects it, a
// double click shows it in its folder. The files are counted beside the
// interface thread (a million of them take a good part of a second); the
// rows appear when the count is back. Interface thread only; rows are
// forgotten when the forest changes.
#pragma once

#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

#include "layout/file_kinds.h"
#include "session/session_link.h"

class QLabel;
class QTreeWidget;

namespace tb {

class AppSession;

class TypesView : public QWidget {
    Q_OBJECT
public:
    explicit TypesView(AppSession& session, QWidget* parent = nullptr);
    ~TypesView() override;

    void setRoot(const ScanNode* root);
    const ScanNode* root() const { return root_; }
    const std::vector<FileKinds::Group>& groups() const { return groups_; }
    QTreeWidget* kindList() const { return kinds_; }
    QTreeWidget* fileList() const { return files_; }
    void chooseKind(int row);
    // ".mkv", "No extension", or "Other extensions" for the summed rest.
    static QString extensionText(const FileKinds::ExtensionRow& row);

private:
    const ScanNode* fileAt(int row) const;
    void showGroups(std::vector<FileKinds::Group> groups);
    void followSelection();

    AppSession& session_;
    const ScanNode* root_ = nullptr;
    std::vector<FileKinds::Group> groups_;
    int chosen_ = -1;
    std::uint64_t generation_ = 0; // of the root the rows belong to
    std::shared_ptr<SessionLink<TypesView>> link_;
    QTreeWidget* kinds_;
    QLabel* filesTitle_;
    QTreeWidget* files_;
};

} // namespace tb
