#pragma once
// The program's widget style: the platform's own, so the desktop's theme
// applies, with one change. A menu bar makes its overflow button at once,
// and the stock style loads that button's icon from a PNG, which makes Qt
// load every image-format plugin to find the reader: a third of a
// megabyte and several milliseconds at each start, for a button a window
// as narrow as ours never shows. Here it is drawn instead.

#include <QProxyStyle>

class QApplication;

class BenchStyle : public QProxyStyle {
public:
    BenchStyle(); // over the platform's default style

    QIcon standardIcon(StandardPixmap icon, const QStyleOption* option = nullptr,
                       const QWidget* widget = nullptr) const override;
};

void applyBenchStyle(QApplication& app);
