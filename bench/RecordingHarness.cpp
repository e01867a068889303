// Opens a recording as File > Open Recording does and says, on one line:
// the milliseconds from the program's start until its plots are drawn, the
// resident memory then (kB), and the 99th percentile of 100 zooms' redraws
// (ms).
//
//   recording-harness FILE.csv

#include "ui/recorded/RecordedRun.h"
#include "ui/trends/TrendsView.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QTest>
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

long residentKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    }
    return -1;
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fputs("usage: recording-harness FILE.csv\n", stderr);
        return 2;
    }
    TrendsView* view = openRecordedRun(QString::fromLocal8Bit(argv[1]), nullptr);
    if (!view)
        return 1;
    if (!QTest::qWaitForWindowExposed(view->window()))
        return 1;
    QCoreApplication::processEvents();
    const qint64 opened = sinceStart.elapsed();
    const long resident = residentKb();
    // Zooms in steps from the whole run down to an hour and out again,
    // each redrawn at once.
    const History::Milliseconds whole = view->span();
    std::vector<double> redraws;
    for (int i = 0; i < 100; ++i) {
        const History::Milliseconds span = std::max<History::Milliseconds>(3'600'000, whole >> (i % 8));
        QElapsedTimer redraw;
        redraw.start();
        view->setSpan(span);
        QCoreApplication::processEvents();
        redraws.push_back(static_cast<double>(redraw.nsecsElapsed()) / 1e6);
    }
    std::sort(redraws.begin(), redraws.end());
    std::printf("%lld %ld %.2f\n", static_cast<long long>(opened), resident, redraws[98]);
    return 0;
}
