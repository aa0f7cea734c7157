#pragma once

#include <QWidget>

// The etched vertical line between two groups of toolbar buttons: a shadow line with a
// highlight line to its right.
class CSeparatorLine : public QWidget
{
public:
    explicit CSeparatorLine(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};
