#include "ui/tasks/apps_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "base/path.h"
#include "session/app_session.h"
#include "ui/disk_theme.h"

namespace tb {
namespace {

QString kindText(const std::string& kind) {
    if (kind == "flatpak") return QStringLiteral("Flatpak \u00b7 ");
    if (kind == "snap") return QStringLiteral("Snap \u00b7 ");
    if (kind == "appimage") return QStringLiteral("AppImage \u00b7 ");
    if (kind == "desktop") return QStringLiteral("Desktop entry \u00b7 ");
    return {};
}

QWidget* appRow(const AppFootprint& app, QPushButton* reveal) {
    using namespace TaskWidgets;
    const bool broken = !app.problem.empty();
    RowParts parts = iconRow(icon(broken ? "xmark.circle" : "shippingbox", 20,
                                  broken ? DiskTheme::orange() : DiskTheme::secondary()));
    parts.texts->addWidget(label(DiskTheme::displayText(app.name), DiskTheme::headline()));
    parts.texts->addWidget(label(kindText(app.kind) + DiskTheme::displayText(app.bundleID),
                                 DiskTheme::captionFont(), true));
    if (app.packages.size() > 1) {
        QStringList names;
        for (const auto& p : app.packages)
            names << DiskTheme::text(p);
        parts.texts->addWidget(
            wrappingLabel(QStringLiteral("Packages: ") + names.join(QStringLiteral(", ")),
                          DiskTheme::captionFont(), true));
    }
    if (broken) {
        QLabel* problem = wrappingLabel(DiskTheme::text(app.problem), DiskTheme::captionFont());
        QPalette pal = problem->palette();
        pal.setColor(QPalette::WindowText, DiskTheme::orange());
        problem->setPalette(pal);
        parts.texts->addWidget(problem);
    }
    parts.texts->addWidget(path(app.url));

    auto* sizes = new QVBoxLayout;
    sizes->setSpacing(2);
    sizes->addWidget(label(DiskTheme::bytes(app.appBytes + app.relatedBytes), DiskTheme::mono(12)),
                     0, Qt::AlignRight);
    if (app.relatedBytes >= 1) {
        sizes->addWidget(label(DiskTheme::bytes(app.relatedBytes) + QStringLiteral(" related"),
                               DiskTheme::captionFont(), true),
                         0, Qt::AlignRight);
    }
    sizes->addStretch(1);
    parts.trailing->addLayout(sizes);
    parts.trailing->addWidget(reveal, 0, Qt::AlignTop);
    return parts.row;
}

QWidget* leftoverRow(const Leftover& l, QPushButton* add) {
    using namespace TaskWidgets;
    RowParts parts = iconRow(icon("minus.circle", 20, DiskTheme::orange()));
    parts.texts->addWidget(label(DiskTheme::displayText(l.owner), DiskTheme::headline()));
    parts.texts->addWidget(
        wrappingLabel(DiskTheme::text(l.reason), DiskTheme::captionFont(), true));
    parts.texts->addWidget(path(l.url));
    parts.trailing->addWidget(label(DiskTheme::bytes(l.bytes), DiskTheme::mono(12)), 0,
                              Qt::AlignTop);
    parts.trailing->addWidget(add, 0, Qt::AlignTop);
    return parts.row;
}

// The owner is gone, so nothing brings the data back: it is for the user
// to look at before it goes.
CleanupCandidate queued(const Leftover& l) {
    CleanupCandidate c;
    c.id = l.url;
    c.url = l.url;
    c.title = std::string(Path::lastComponent(l.url));
    c.owner = l.owner;
    c.reason = l.reason;
    c.evidence = l.url;
    c.bytes = l.bytes;
    c.risk = CleanupRisk::review;
    c.isDirectory = true;
    return c;
}

} // namespace

AppsView::AppsView(AppSession& session, QWidget* parent)
    : QWidget(parent),
      session_(session),
      search_(new QLineEdit),
      pages_(new QStackedWidget),
      list_(new RowList) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    QHBoxLayout* bar = TaskWidgets::headerBar(layout);
    search_->setPlaceholderText(QStringLiteral("Filter apps"));
    search_->setAccessibleName(search_->placeholderText());
    search_->setClearButtonEnabled(true);
    search_->setMaximumWidth(260);
    bar->addWidget(search_);

    empty_ = new EmptyState(
        "shippingbox", QStringLiteral("No apps in this scan"),
        QStringLiteral("Flatpak apps, snaps, AppImages in your Home folder and desktop entries "
                       "appear here after a scan of your Home folder."));
    pages_->addWidget(list_);
    pages_->addWidget(empty_);
    layout->addWidget(pages_, 1);

    connect(search_, &QLineEdit::textChanged, this, [this] { applyQuery(); });
    connect(&session_, &AppSession::changed, this, [this](SessionField field) {
        if (field == SessionField::appFootprints || field == SessionField::leftBehind) rebuild();
    });
    connect(&session_.staging(), &StagingStore::itemsChanged, this,
            [this] { queueButtons_.refresh(session_.staging()); });
    rebuild();
}

QString AppsView::query() const {
    return search_->text();
}

void AppsView::setQuery(const QString& query) {
    search_->setText(query);
}

bool AppsView::matches(const AppFootprint& app, const QString& query) {
    if (query.isEmpty()) return true;
    return QString::fromUtf8(app.name).contains(query, Qt::CaseInsensitive) ||
           QString::fromUtf8(app.bundleID).contains(query, Qt::CaseInsensitive);
}

bool AppsView::matches(const Leftover& leftover, const QString& query) {
    if (query.isEmpty()) return true;
    return QString::fromUtf8(leftover.owner).contains(query, Qt::CaseInsensitive) ||
           QString::fromUtf8(leftover.url).contains(query, Qt::CaseInsensitive);
}

void AppsView::rebuild() {
    list_->clear();
    rows_.clear();
    leftRows_.clear();
    leftHeading_ = nullptr;
    queueButtons_.clear();
    for (const AppFootprint& app : session_.appFootprints()) {
        auto* reveal = TaskWidgets::button(QStringLiteral("Show in Files"));
        connect(reveal, &QPushButton::clicked, this,
                [this, url = app.url] { session_.revealInFinder(url); });
        QWidget* row = appRow(app, reveal);
        list_->addRow(row);
        rows_.push_back(row);
    }
    if (!session_.leftBehind().empty()) {
        leftHeading_ = TaskWidgets::sectionHeading(
            QStringLiteral("Left behind"),
            QStringLiteral("Data of apps that are no longer installed. Nothing uses it; look "
                           "before you queue it, as it does not come back."));
        list_->addRow(leftHeading_);
    }
    for (const Leftover& l : session_.leftBehind()) {
        auto* add = TaskWidgets::button(QStringLiteral("Add to Review Queue"));
        connect(add, &QPushButton::clicked, this, [this, c = queued(l)] { session_.stage(c); });
        queueButtons_.track(add, l.url, QueueButtons::Style::readsAdded);
        QWidget* row = leftoverRow(l, add);
        list_->addRow(row);
        leftRows_.push_back(row);
    }
    queueButtons_.refresh(session_.staging());
    pages_->setCurrentWidget(rows_.empty() && leftRows_.empty() ? empty_
                                                                : static_cast<QWidget*>(list_));
    applyQuery();
}

void AppsView::applyQuery() {
    const QString q = search_->text();
    const auto& apps = session_.appFootprints();
    for (std::size_t i = 0; i < rows_.size() && i < apps.size(); ++i) {
        rows_[i]->setVisible(matches(apps[i], q));
    }
    const auto& left = session_.leftBehind();
    bool anyLeft = false;
    for (std::size_t i = 0; i < leftRows_.size() && i < left.size(); ++i) {
        const bool keep = matches(left[i], q);
        leftRows_[i]->setVisible(keep);
        anyLeft = anyLeft || keep;
    }
    if (leftHeading_) leftHeading_->setVisible(anyLeft);
}

} // namespace tb
