// "Add to queue" buttons that follow the review queue: each one is tied to a
// location and turns disabled (and, if asked, reads "Added" instead of its
// own text) once that location is queued. Interface thread only.
#pragma once

#include <QString>

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
        QString idleText; // what it reads while its location is not queued
    };
    std::vector<Tracked> buttons_;
};

} // namespace tb
