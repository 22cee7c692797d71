#include "ui/tasks/apps_view.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

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
    RowParts parts = iconRow(icon("shippingbox", 20, DiskTheme::secondary()));
    parts.texts->addWidget(label(DiskTheme::displayText(app.name), DiskTheme::headline()));
    parts.texts->addWidget(label(kindText(app.kind) + DiskTheme::displayText(app.bundleID),
                                 DiskTheme::captionFont(), true));
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
        if (field == SessionField::appFootprints) rebuild();
    });
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

void AppsView::rebuild() {
    list_->clear();
    rows_.clear();
    for (const AppFootprint& app : session_.appFootprints()) {
        auto* reveal = TaskWidgets::button(QStringLiteral("Show in Files"));
        connect(reveal, &QPushButton::clicked, this,
                [this, url = app.url] { session_.revealInFinder(url); });
        QWidget* row = appRow(app, reveal);
        list_->addRow(row);
        rows_.push_back(row);
    }
    pages_->setCurrentWidget(rows_.empty() ? empty_ : static_cast<QWidget*>(list_));
    applyQuery();
}

void AppsView::applyQuery() {
    const QString q = search_->text();
    const auto& apps = session_.appFootprints();
    for (std::size_t i = 0; i < rows_.size() && i < apps.size(); ++i) {
        rows_[i]->setVisible(matches(apps[i], q));
    }
}

} // namespace tb
