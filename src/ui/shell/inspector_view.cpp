#include "ui/shell/inspector_view.h"

#include <QFormLayout>

#include <algorithm>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QStackedLayout>
#include <QVBoxLayout>

#include "analysis/node_advice.h"
#include "analysis/protected_paths.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

QLabel* wrapping(QWidget* parent = nullptr) {
    auto* l = new QLabel(parent);
    l->setWordWrap(true);
    l->setTextFormat(Qt::PlainText); // a name like "<b>x</b>" is a name, not markup
    return l;
}

} // namespace

InspectorView::InspectorView(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    stack_ = new QStackedLayout(this);

    auto* empty = new QWidget;
    auto* e = new QVBoxLayout(empty);
    e->addStretch();
    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("sidebar.right").pixmap(32, 32));
    icon->setAlignment(Qt::AlignHCenter);
    auto* title = new QLabel(QStringLiteral("No Selection"));
    title->setFont(DiskTheme::display(15));
    title->setAlignment(Qt::AlignHCenter);
    auto* text = wrapping();
    text->setText(
        QStringLiteral("Click a file or folder in the scan. This panel shows size on disk and "
                       "whether it is safe to stage."));
    text->setAlignment(Qt::AlignHCenter);
    DiskTheme::makeSecondary(text);
    e->addWidget(icon);
    e->addWidget(title);
    e->addWidget(text);
    e->addStretch();
    stack_->addWidget(empty);

    auto* details = new QWidget;
    auto* d = new QVBoxLayout(details);
    auto* nameForm = new QFormLayout;
    name_ = wrapping();
    name_->setFont(DiskTheme::sized(12, QFont::DemiBold));
    nameForm->addRow(QStringLiteral("Name"), name_);
    d->addLayout(nameForm);
    path_ = wrapping();
    path_->setFont(DiskTheme::sized(9));
    path_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    DiskTheme::makeSecondary(path_);
    d->addWidget(path_);

    auto* size = new QGroupBox(QStringLiteral("Size"));
    auto* sizeForm = new QFormLayout(size);
    logical_ = new QLabel;
    allocated_ = new QLabel;
    modified_ = new QLabel;
    sizeForm->addRow(QStringLiteral("Logical"), logical_);
    sizeForm->addRow(QStringLiteral("Allocated"), allocated_);
    modifiedLabel_ = new QLabel(QStringLiteral("Modified"));
    modifiedLabel_->setObjectName(QStringLiteral("modifiedLabel"));
    sizeForm->addRow(modifiedLabel_, modified_);
    frees_ = new QLabel;
    frees_->setObjectName(QStringLiteral("frees"));
    sizeForm->addRow(frees_);
    d->addWidget(size);

    auto* notes = new QGroupBox(QStringLiteral("Notes"));
    auto* n = new QVBoxLayout(notes);
    why_ = wrapping();
    sizes_ = wrapping();
    DiskTheme::makeSecondary(sizes_);
    unreadable_ = wrapping();
    unreadable_->setText(
        QStringLiteral("This folder was unreadable. Scan again with permission to read it."));
    DiskTheme::makeSecondary(unreadable_);
    links_ = wrapping();
    links_->setObjectName(QStringLiteral("links"));
    n->addWidget(why_);
    n->addWidget(links_);
    n->addWidget(sizes_);
    n->addWidget(unreadable_);
    d->addWidget(notes);

    auto* reveal = new QPushButton(QStringLiteral("Show in Files"));
    auto* look = new QPushButton(QStringLiteral("Preview"));
    auto* open = new QPushButton(QStringLiteral("Open"));
    stage_ = new QPushButton(DiskTheme::icon("tray.and.arrow.down"),
                             QStringLiteral("Add to Review Queue"));
    auto path = [this] { return std::string(session_.selected()->path()); };
    connect(reveal, &QPushButton::clicked, this, [this, path] {
        if (session_.selected()) session_.revealInFinder(path());
    });
    connect(look, &QPushButton::clicked, this, [this, path] {
        if (session_.selected()) session_.quickLook(path());
    });
    connect(open, &QPushButton::clicked, this, [this, path] {
        if (session_.selected()) session_.openItem(path());
    });
    connect(stage_, &QPushButton::clicked, this, [this] {
        const ScanNode* node = session_.selected();
        if (!node || ProtectedPaths::isProtected(node->path())) return;
        session_.staging().stage(*node);
        // A refusal is shown in the window's status line; stay here with it.
        if (session_.staging().isStaged(node->path())) session_.setTab(AppTab::stage);
    });
    for (auto* b : {reveal, look, open, stage_})
        d->addWidget(b);
    d->addStretch();
    stack_->addWidget(details);

    connect(&session_, &AppSession::changed, this, [this](SessionField f) {
        if (f == SessionField::selected || f == SessionField::forest) refresh();
    });
    refresh();
}

QString InspectorView::namesText(std::uint32_t names, std::uint32_t outsideFolder) {
    const QString head = QStringLiteral("%1 names (hard links), ").arg(names);
    if (outsideFolder == 0) return head + QStringLiteral("all in this folder");
    return head + QStringLiteral("%1 outside this folder").arg(outsideFolder);
}

void InspectorView::refresh() {
    const ScanNode* node = session_.selected();
    stack_->setCurrentIndex(node ? 1 : 0);
    if (!node) return;
    name_->setText(DiskTheme::displayText(node->name()));
    path_->setText(DiskTheme::displayText(node->path()));
    const auto& forest = session_.forest();
    const HardLinks::File* file = forest ? forest->links().file(node) : nullptr;
    // A name counted under another shows 0 in the lists; here, the file's own
    // sizes.
    const bool elsewhere = file && node->countedElsewhere();
    logical_->setText(DiskTheme::bytes(elsewhere ? file->logicalSize : node->logicalSize()));
    allocated_->setText(DiskTheme::bytes(elsewhere ? file->allocatedSize : node->allocatedSize()));
    links_->setVisible(file);
    if (file) {
        const auto names = forest->links().names(*file);
        const auto here = std::count_if(names.begin(), names.end(), [&](const ScanNode* n) {
            return n->parent() == node->parent();
        });
        QString text =
            namesText(file->linkCount, file->linkCount - std::uint32_t(here)) + QStringLiteral(".");
        if (elsewhere) {
            text += QStringLiteral(" Counted once, under ") +
                    DiskTheme::displayText(names.front()->path()) + QStringLiteral(".");
        }
        links_->setText(text);
    }
    // What moving it to the Trash gives back, where that differs from its size
    // or may: a folder, or a file with other names.
    const bool showFrees = forest && (node->isDirectory() || file);
    frees_->setVisible(showFrees);
    if (showFrees) {
        frees_->setText(QStringLiteral("Frees about ") + DiskTheme::bytes(forest->freedBy(node)));
    }
    // The folder list shows a folder's newest change inside it; this is the
    // folder entry's own time, and says so.
    modifiedLabel_->setText(node->isDirectory() ? QStringLiteral("Folder itself modified")
                                                : QStringLiteral("Modified"));
    modified_->setText(DiskTheme::shortDate(node->modified()));
    why_->setText(DiskTheme::text(NodeAdvice::why(*node)));
    const NodeKind kind = NodeAdvice::kind(*node);
    const bool showSizes = kind == NodeKind::sparseDisk || kind == NodeKind::dockerRaw;
    sizes_->setVisible(showSizes);
    if (showSizes) {
        sizes_->setText(QStringLiteral("Logical ") + DiskTheme::bytes(node->logicalSize()) +
                        QStringLiteral(" vs allocated ") + DiskTheme::bytes(node->allocatedSize()) +
                        QStringLiteral("."));
    }
    unreadable_->setVisible(node->unreadable());
    stage_->setEnabled(!ProtectedPaths::isProtected(node->path()));
}

} // namespace tb
