#include "ui/shell/remote_scan_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "base/count_text.h"
#include "session/app_session.h"
#include "store/scan_store.h"
#include "ui/disk_theme.h"

namespace tb {

void RemoteScanDialog::run(AppSession& session, QWidget* parent) {
    RemoteScanDialog dialog(session, parent);
    dialog.exec();
}

RemoteScanDialog::RemoteScanDialog(AppSession& session, QWidget* parent)
    : QDialog(parent), session_(session) {
    setWindowTitle(QStringLiteral("Scan Remote Folder"));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(QStringLiteral(
        "Tarnbeck connects with ssh and your keys (no password is asked) and runs the first of "
        "tarnbeck, ncdu or gdu it finds there."));
    intro->setWordWrap(true);
    layout->addWidget(intro);
    auto* form = new QFormLayout;
    machine_ = new QLineEdit;
    machine_->setPlaceholderText(QStringLiteral("user@host:port, or a Host from ~/.ssh/config"));
    folder_ = new QLineEdit(QStringLiteral("/"));
    form->addRow(QStringLiteral("Machine:"), machine_);
    form->addRow(QStringLiteral("Folder:"), folder_);
    layout->addLayout(form);
    status_ = new QLabel;
    status_->setWordWrap(true);
    status_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(status_);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    buttons_->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Scan"));
    layout->addWidget(buttons_);
    connect(buttons_, &QDialogButtonBox::accepted, this, &RemoteScanDialog::start);
    connect(buttons_, &QDialogButtonBox::rejected, this, &RemoteScanDialog::reject);
    setMinimumWidth(460);
}

RemoteScanDialog::~RemoteScanDialog() {
    stop_.request_stop();
}

void RemoteScanDialog::setFields(const QString& machine, const QString& folder) {
    machine_->setText(machine);
    folder_->setText(folder);
}

Result<platform::RemoteAddress> RemoteScanDialog::address() const {
    const QString machine = machine_->text().trimmed();
    QString folder = folder_->text();
    if (!folder.startsWith(QLatin1Char('/'))) folder.prepend(QLatin1Char('/'));
    // The folder's bytes as typed; the address parser checks the machine part.
    return platform::parseRemoteAddress("ssh://" + machine.toStdString() + folder.toStdString());
}

void RemoteScanDialog::start() {
    auto target = address();
    if (!target) {
        status_->setText(QString::fromStdString(target.error().message));
        return;
    }
    machine_->setEnabled(false);
    folder_->setEnabled(false);
    buttons_->button(QDialogButtonBox::Ok)->setEnabled(false);
    status_->setText(
        QStringLiteral("Connecting to %1\u2026").arg(DiskTheme::displayText(target->machine())));
    auto* ticker = new QTimer(this);
    connect(ticker, &QTimer::timeout, this, [this] {
        if (const auto n = entries_.load(); n > 0)
            status_->setText(QString::fromStdString(CountText::of(n, "entry", "entries")) +
                             QStringLiteral(" so far\u2026"));
    });
    ticker->start(200);
    RemoteScan::Options options;
    options.storeDirectory = ScanStore::directory();
    options.stop = stop_.get_token();
    options.progress = [this](std::int64_t n) { entries_ = n; };
    QPointer<RemoteScanDialog> self(this);
    worker_ = std::jthread([self, address = *target, options] {
        auto result = RemoteScan::scan(address, options);
        // Queued: a dialog gone meanwhile drops it.
        QMetaObject::invokeMethod(
            self.data(),
            [self, result = std::move(result)]() mutable {
                if (self) self->finish(std::move(result));
            },
            Qt::QueuedConnection);
    });
}

void RemoteScanDialog::finish(Result<RemoteScan::Summary> result) {
    // It has handed over its result and is ending.
    if (worker_.joinable()) worker_.join();
    if (stop_.stop_requested()) {
        QDialog::reject();
        return;
    }
    if (!result) {
        machine_->setEnabled(true);
        folder_->setEnabled(true);
        buttons_->button(QDialogButtonBox::Ok)->setEnabled(true);
        status_->setText(QString::fromStdString(result.error().message));
        if (RemoteScan::isLoginRefused(result.error())) {
            QMessageBox::warning(this, QStringLiteral("Set up a key for this machine"),
                                 QString::fromStdString(result.error().message));
        }
        return;
    }
    session_.addStoredScan(result->imported.record, result->removed);
    session_.loadHistory(result->imported.record);
    accept();
}

void RemoteScanDialog::reject() {
    // A scan in flight is stopped; ssh goes with it and nothing is stored.
    stop_.request_stop();
    if (!worker_.joinable()) QDialog::reject();
}

} // namespace tb
