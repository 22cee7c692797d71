// The key to the maps' colours by file type: a swatch and a name per kind,
// in one row that wraps no further than it must. Interface thread only.
#pragma once

#include <QWidget>

namespace tb {

class KindLegend : public QWidget {
    Q_OBJECT
public:
    explicit KindLegend(QWidget* parent = nullptr);
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
    // The kinds' names in the order shown.
    static QStringList names();

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace tb
