// File › Scan Remote Folder…: asks for a machine and a folder, scans it over
// ssh on a worker thread with the entries so far and Cancel, then opens the
// stored scan. ssh never prompts (BatchMode): a refused login is answered
// with how to set up a key. Interface thread only.
#pragma once

#include <QDialog>

#include <atomic>
#include <optional>
#include <stop_token>
#include <thread>

#include "interchange/remote_scan.h"

class QLabel;
class QLineEdit;
class QDialogButtonBox;

namespace tb {

class AppSession;

class RemoteScanDialog : public QDialog {
    Q_OBJECT

public:
    // Shows the dialog modally; a finished scan is added to the history and opened.
    static void run(AppSession& session, QWidget* parent);

    RemoteScanDialog(AppSession& session, QWidget* parent);
    ~RemoteScanDialog() override;

    // The address the fields make, or why not.
    Result<platform::RemoteAddress> address() const;
    // Sets the fields (for screenshots and tests).
    void setFields(const QString& machine, const QString& folder);

private:
    void start();
    void finish(Result<RemoteScan::Summary> result);
    void reject() override;

    AppSession& session_;
    QLineEdit* machine_;
    QLineEdit* folder_;
    QLabel* status_;
    QDialogButtonBox* buttons_;
    std::stop_source stop_;
    std::atomic<std::int64_t> entries_{0};
    std::jthread worker_; // last: joined before the rest goes
};

} // namespace tb
