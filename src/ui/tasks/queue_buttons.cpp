#include "ui/tasks/queue_buttons.h"

#include <QPushButton>

#include "review/staging_store.h"

namespace tb {

void QueueButtons::track(QPushButton* button, std::string url, Style style) {
    buttons_.push_back({button, std::move(url), style, button->text()});
}

void QueueButtons::refresh(const StagingStore& staging) const {
    for (const Tracked& t : buttons_) {
        const bool queued = staging.isStaged(t.url);
        t.button->setEnabled(!queued);
        if (t.style == Style::readsAdded) {
            t.button->setText(queued ? QStringLiteral("Added") : t.idleText);
        }
    }
}

} // namespace tb
