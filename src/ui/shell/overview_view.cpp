#include "ui/shell/overview_view.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <QVBoxLayout>

#include "base/count_text.h"
#include "base/path.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"
#include "ui/explore/explore_text.h"
#include "ui/shell/file_actions.h"

namespace tb {
namespace {

QLabel* label(const QString& text, const QFont& font, bool secondary = false) {
    auto* l = new QLabel(text);
    l->setFont(font);
    l->setWordWrap(true);
    if (secondary) DiskTheme::makeSecondary(l);
    return l;
}

// A small share bar: accent at 0.35 opacity, at least 3 points wide.
class ShareBar : public QWidget {
public:
    ShareBar(double share, QWidget* parent = nullptr) : QWidget(parent), share_(share) {
        setFixedSize(72, 6);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(DiskTheme::accent(0.35));
        p.drawRoundedRect(QRectF(0, 0, std::max(72.0 * share_, 3.0), 6), 2, 2);
    }

private:
    double share_;
};

QWidget* card(const QString& title, const QString& value, const QString& detail) {
    auto* frame = new QFrame;
    frame->setFrameShape(QFrame::StyledPanel);
    auto* l = new QVBoxLayout(frame);
    l->addWidget(label(title, DiskTheme::sized(9), true));
    auto* v = label(value, DiskTheme::sized(17, QFont::DemiBold));
    l->addWidget(v);
    auto* d = label(detail, DiskTheme::sized(8), true);
    d->setWordWrap(false);
    d->setText(d->fontMetrics().elidedText(detail, Qt::ElideMiddle, 200));
    d->setToolTip(detail);
    l->addWidget(d);
    return frame;
}

QString kindWord(ScanChange::Kind k) {
    return QString::fromLatin1(rawValue(k).data(), qsizetype(rawValue(k).size()));
}

} // namespace

OverviewView::OverviewView(AppSession& session, QWidget* parent)
    : QWidget(parent), session_(session) {
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea;
    scroll->setFocusPolicy(Qt::NoFocus); // its buttons take the focus; it scrolls to them
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);
    outer->addWidget(scroll);
    auto* page = new QWidget;
    auto* centre = new QHBoxLayout(page);
    auto* content = new QWidget;
    content->setMaximumWidth(1100);
    centre->addWidget(content);
    scroll->setWidget(page);

    auto* column = new QVBoxLayout(content);
    column->setSpacing(14);
    title_ = label(QString(), DiskTheme::display(30));
    subtitle_ = label(QString(), DiskTheme::sized(15), true);
    column->addWidget(title_);
    column->addWidget(subtitle_);
    body_ = new QVBoxLayout;
    body_->setSpacing(18);
    column->addLayout(body_);
    column->addStretch();

    connect(&session_, &AppSession::changed, this, [this](SessionField f) {
        switch (f) {
        case SessionField::isScanning:
        case SessionField::scanRoot:
        case SessionField::forest:
        case SessionField::volume:
        case SessionField::cleanupCandidates:
        case SessionField::movedToTrash:
        case SessionField::changes: refresh(); break;
        default: break;
        }
    });
    connect(&session_.staging(), &StagingStore::itemsChanged, this, &OverviewView::refresh);
    refresh();
}

// Many fields change together after a scan; rebuild once per burst.
void OverviewView::refresh() {
    if (refreshQueued_) return;
    refreshQueued_ = true;
    QTimer::singleShot(0, this, [this] {
        refreshQueued_ = false;
        rebuildBody();
    });
}

void OverviewView::rebuildBody() {
    const bool hasForest = bool(session_.forest());
    if (session_.isScanning()) {
        title_->setText(QStringLiteral("Scanning ") +
                        DiskTheme::displayText(Path::lastComponent(session_.scanRoot())) +
                        QChar(0x2026));
        subtitle_->setText(
            QStringLiteral("Tarnbeck is building a local inventory. You can keep navigating while "
                           "the scan runs."));
    } else if (hasForest) {
        title_->setText(QStringLiteral("Your storage, at a glance."));
        subtitle_->setText(QStringLiteral(
            "A clear starting point for what is large, what is rebuildable and what changed."));
    } else {
        title_->setText(QStringLiteral("Know your storage."));
        subtitle_->setText(
            QStringLiteral("Start with a read-only scan. Tarnbeck keeps the inventory on this "
                           "computer and explains every "
                           "recommendation."));
    }

    while (QLayoutItem* item = body_->takeAt(0)) {
        if (item->widget()) item->widget()->deleteLater();
        delete item;
    }
    if (!hasForest) {
        body_->addWidget(emptyState());
        return;
    }
    body_->addWidget(metricCards());
    if (!session_.movedToTrash().empty()) body_->addWidget(movedLine());
    body_->addWidget(section(QStringLiteral("Largest contributors"), QStringLiteral("Explore"),
                             int(AppTab::explore), contributors()));
    body_->addWidget(section(QStringLiteral("Worth reviewing"), QStringLiteral("See all"),
                             int(AppTab::cleanup), worthReviewing()));
    body_->addWidget(section(QStringLiteral("Since your last comparable scan"),
                             QStringLiteral("Open changes"), int(AppTab::changes),
                             sinceLastScan()));
}

// The figures above are the tree's as it is now; the stored scan still
// holds what left it.
QWidget* OverviewView::movedLine() {
    std::int64_t bytes = 0;
    for (const auto& m : session_.movedToTrash())
        bytes += m.bytes;
    const auto count = std::int64_t(session_.movedToTrash().size());
    auto* line = label(QStringLiteral("Changed since the scan: ") +
                           QString::fromStdString(CountText::of(count, "item")) +
                           QStringLiteral(" moved to the Trash (") + DiskTheme::bytes(bytes) +
                           QStringLiteral(")"),
                       DiskTheme::body(), true);
    line->setObjectName(QStringLiteral("movedToTrash"));
    return line;
}

QWidget* OverviewView::emptyState() {
    auto* holder = new QWidget;
    auto* centre = new QHBoxLayout(holder);
    auto* w = new QWidget;
    w->setFixedWidth(560);
    centre->addStretch();
    centre->addWidget(w);
    centre->addStretch();
    auto* l = new QVBoxLayout(w);
    auto centred = [](QLabel* label) {
        label->setAlignment(Qt::AlignHCenter);
        return label;
    };
    auto* icon = new QLabel;
    icon->setPixmap(DiskTheme::icon("internaldrive").pixmap(48, 48));
    l->addWidget(centred(icon));
    l->addWidget(centred(
        label(QStringLiteral("Start with a folder you understand"), DiskTheme::display(17))));
    l->addWidget(centred(
        label(QStringLiteral("Your Home folder gives the richest picture. You can scan an "
                             "external SSD or a project folder whenever you need a closer look."),
              DiskTheme::sized(11), true)));
    auto* scan = new QPushButton(session_.isScanning() ? QStringLiteral("Scanning\u2026")
                                                       : QStringLiteral("Scan Home Folder"));
    scan->setDefault(true);
    scan->setEnabled(!session_.isScanning());
    connect(scan, &QPushButton::clicked, this, [this] { session_.startScan(); });
    auto* choose = new QPushButton(QStringLiteral("Choose Folder\u2026"));
    connect(choose, &QPushButton::clicked, this, [this] { session_.chooseRoot(); });
    auto* volumes = new QPushButton(QStringLiteral("All Volumes\u2026"));
    volumes->setObjectName(QStringLiteral("allVolumes"));
    connect(volumes, &QPushButton::clicked, this,
            [this] { FileActions::showVolumes(session_, window()); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(scan);
    buttons->addWidget(choose);
    buttons->addWidget(volumes);
    buttons->addStretch();
    l->addLayout(buttons);
    auto* dropLine = new QHBoxLayout;
    auto* dropIcon = new QLabel;
    dropIcon->setPixmap(DiskTheme::icon("arrow.down.doc").pixmap(14, 14));
    auto* dropText =
        label(QStringLiteral("Or drag a folder anywhere into this window to scan it immediately."),
              DiskTheme::sized(10), true);
    dropText->setWordWrap(false);
    dropLine->addStretch();
    dropLine->addWidget(dropIcon);
    dropLine->addWidget(dropText);
    dropLine->addStretch();
    l->addLayout(dropLine);
    return holder;
}

// What the scan listed but did not walk, by kind, with the items named in
// the tooltip.
QWidget* OverviewView::leftOutCard(const ScanContext& c) {
    std::int64_t excluded = 0, snapshots = 0, mounts = 0;
    QStringList lines;
    for (const LeftOut& l : c.leftOut) {
        (l.kind == LeftOutKind::mount       ? mounts
         : l.kind == LeftOutKind::snapshots ? snapshots
                                            : excluded)++;
        if (lines.size() < 20) {
            lines << ExploreText::relativePath(l.path, c.rootPath) + QStringLiteral(" — ") +
                         ExploreText::leftOutTag(l.kind);
        }
    }
    QStringList parts;
    if (excluded) parts << QString::fromStdString(CountText::of(excluded, "excluded", "excluded"));
    if (snapshots) {
        parts << QString::fromStdString(
            CountText::of(snapshots, "snapshot folder", "snapshot folders"));
    }
    if (mounts) parts << QString::fromStdString(CountText::of(mounts, "mount", "mounts"));
    if (c.leftOutCount > std::int64_t(c.leftOut.size())) lines << QStringLiteral("…");
    QWidget* w =
        card(QStringLiteral("Left out"), QString::fromStdString(CountText::number(c.leftOutCount)),
             parts.join(QStringLiteral(", ")));
    w->setObjectName(QStringLiteral("leftOutCard"));
    w->setToolTip(lines.join(QLatin1Char('\n')));
    return w;
}

QWidget* OverviewView::metricCards() {
    const ScanForest& forest = *session_.forest();
    auto* w = new QWidget;
    auto* l = new QHBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    l->addWidget(card(QStringLiteral("Scanned"), DiskTheme::bytes(forest.root()->allocatedSize()),
                      DiskTheme::displayText(forest.context().rootPath)));
    if (const auto& v = session_.volume()) {
        l->addWidget(card(QStringLiteral("Available"), DiskTheme::bytes(v->availableImportant),
                          DiskTheme::displayText(v->name)));
    }
    l->addWidget(
        card(QStringLiteral("Items"), QString::fromStdString(CountText::number(forest.visited())),
             forest.unreadable() > 0 ? QString::fromStdString(CountText::of(
                                           forest.unreadable(), "folder needs", "folders need")) +
                                           QStringLiteral(" access")
                                     : QStringLiteral("Complete scan")));
    if (const ScanContext& c = forest.context(); c.leftOutCount > 0) {
        l->addWidget(leftOutCard(c));
    }
    const auto queued = session_.staging().items().size();
    l->addWidget(
        card(QStringLiteral("Review queue"), QString::number(queued),
             queued > 0 ? QStringLiteral("Ready for review") : QStringLiteral("Nothing selected")));
    return w;
}

QWidget* OverviewView::section(const QString& title, const QString& action, int tab,
                               QWidget* body) {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    auto* header = new QHBoxLayout;
    auto* heading = label(title, DiskTheme::sized(13, QFont::DemiBold));
    heading->setWordWrap(false);
    header->addWidget(heading);
    header->addStretch();
    auto* link = new QPushButton(action);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setStyleSheet(QStringLiteral("color: palette(highlight);"));
    connect(link, &QPushButton::clicked, this, [this, tab] { session_.setTab(AppTab(tab)); });
    header->addWidget(link);
    l->addLayout(header);
    l->addWidget(body);
    return w;
}

QWidget* OverviewView::contributors() {
    const ScanNode* root = session_.forest()->root();
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    const auto children = root->children();
    for (std::size_t i = 0; i < std::min<std::size_t>(7, children.size()); ++i) {
        const ScanNode* node = children[i];
        auto* row = new QPushButton;
        row->setFlat(true);
        auto* r = new QHBoxLayout(row);
        r->setContentsMargins(6, 2, 6, 2);
        auto* icon = new QLabel;
        icon->setPixmap(
            DiskTheme::icon(node->isDirectory() ? "folder.fill" : "doc.fill").pixmap(16, 16));
        r->addWidget(icon);
        r->addWidget(DiskTheme::nameLabel(node->name()), 1);
        const double whole = double(root->allocatedSize());
        r->addWidget(new ShareBar(whole < 1 ? 0 : double(node->allocatedSize()) / whole));
        auto* bytes = label(DiskTheme::bytes(node->allocatedSize()), DiskTheme::caption());
        bytes->setFixedWidth(72);
        bytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        r->addWidget(bytes);
        row->setMinimumHeight(28);
        row->setAccessibleName(DiskTheme::displayText(node->name()) + QStringLiteral(", ") +
                               DiskTheme::bytes(node->allocatedSize()));
        connect(row, &QPushButton::clicked, this, [this, node] {
            session_.select(node);
            session_.setTab(AppTab::explore);
        });
        l->addWidget(row);
    }
    return w;
}

QWidget* OverviewView::worthReviewing() {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    const auto& candidates = session_.cleanupCandidates();
    if (candidates.empty()) {
        l->addWidget(label(QStringLiteral("No known rebuildable storage was found in this scan."),
                           DiskTheme::sized(11), true));
        return w;
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(4, candidates.size()); ++i) {
        const auto& c = candidates[i];
        auto* r = new QHBoxLayout;
        const bool safe = c.risk == CleanupRisk::safe;
        auto* icon = new QLabel;
        icon->setPixmap(
            DiskTheme::icon(safe ? "checkmark.shield" : "exclamationmark.shield").pixmap(16, 16));
        r->addWidget(icon);
        r->addWidget(DiskTheme::nameLabel(c.title), 1);
        auto* risk = new QLabel(DiskTheme::text(rawValue(c.risk)));
        risk->setStyleSheet(QStringLiteral("color: %1;")
                                .arg((safe ? DiskTheme::green() : DiskTheme::orange()).name()));
        r->addWidget(risk);
        auto* bytes = label(DiskTheme::bytes(c.bytes), DiskTheme::caption());
        bytes->setFixedWidth(72);
        bytes->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        r->addWidget(bytes);
        l->addLayout(r);
    }
    auto* open = new QPushButton(QStringLiteral("Open Clean Up"));
    connect(open, &QPushButton::clicked, this, [this] { session_.setTab(AppTab::cleanup); });
    l->addWidget(open, 0, Qt::AlignLeft);
    return w;
}

QWidget* OverviewView::sinceLastScan() {
    auto* w = new QWidget;
    auto* l = new QVBoxLayout(w);
    l->setContentsMargins(0, 0, 0, 0);
    const auto& changes = session_.changes();
    if (changes.empty()) {
        const auto& compared = session_.changeList();
        QString text =
            QStringLiteral("Scan the same folder again to see what grew or disappeared.");
        if (compared && compared->smallerCount > 0) {
            text = QStringLiteral("No change of 1 MB or more; ") +
                   QString::fromStdString(
                       CountText::of(std::int64_t(compared->smallerCount), "smaller change")) +
                   QStringLiteral(".");
        } else if (compared) {
            text = QStringLiteral("Nothing changed since the previous scan of this folder.");
        }
        l->addWidget(label(text, DiskTheme::sized(11), true));
        return w;
    }
    for (std::size_t i = 0; i < std::min<std::size_t>(3, changes.size()); ++i) {
        const auto& c = changes[i];
        auto* r = new QHBoxLayout;
        const bool grew = c.kind == ScanChange::Kind::grew;
        auto* icon = new QLabel;
        icon->setPixmap(
            DiskTheme::icon(grew ? "arrow.up.right" : "arrow.down.right").pixmap(14, 14));
        r->addWidget(icon);
        auto* kind = new QLabel(kindWord(c.kind));
        kind->setStyleSheet(QStringLiteral("color: %1;")
                                .arg((grew ? DiskTheme::orange() : DiskTheme::green()).name()));
        r->addWidget(kind);
        r->addWidget(DiskTheme::nameLabel(c.name), 1);
        const auto delta = c.delta();
        auto* bytes =
            label((delta >= 0 ? QStringLiteral("+") : QString()) + DiskTheme::bytes(delta),
                  DiskTheme::caption());
        r->addWidget(bytes);
        l->addLayout(r);
    }
    return w;
}

} // namespace tb
