// "Add to queue" buttons that follow the review queue: each one is tied to a
// location and turns disabled (and, if asked, reads "Added") once that
// location is queued. Interface thread only.
#pragma once

#include <string>
#include <vector>

class QPushButton;

namespace tb {

class StagingStore;

class QueueButtons {
public:
    enum class Style { disableOnly, readsAdded };

    void clear() { buttons_.clear(); }
    // The button stays owned by its row; clear() whenever the rows are
    // rebuilt, as refresh() reaches every button tracked.
    void track(QPushButton* button, std::string url, Style style);
    void refresh(const StagingStore& staging) const;

private:
    struct Tracked {
        QPushButton* button;
        std::string url;
        Style style;
    };
    std::vector<Tracked> buttons_;
};

} // namespace tb
