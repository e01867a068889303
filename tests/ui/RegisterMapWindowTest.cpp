// The register map and the bus scan on the recording bus: what a sweep
// marks, a cell typed over, a snapshot compared and restored, and a scan's
// address chosen.

#include "Form1Fixture.h"
#include "support/Traffic.h"
#include "ui/busscan/BusScanWindow.h"
#include "ui/registermap/RegisterMapWindow.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTableView>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

namespace {

using Answer = MessageBoxAnswerer::Answer;

Calls sweepReads(int device = 0x2E)
{
    Calls reads;
    for (int reg = 0; reg < 256; ++reg)
        reads.push_back(Read(reg, device));
    return reads;
}

TEST(RegisterGrid, MarksExactlyTheCellsThatChangedForOneSweep)
{
    RegisterSweep first, second;
    for (int reg = 0; reg < 256; ++reg)
        first.values[static_cast<std::size_t>(reg)] = second.values[static_cast<std::size_t>(reg)] = 0x11;
    second.values[0x26] = 0x1A;
    second.values[0xFF] = 0x00;
    second.failed[0x40] = true; // answered, then did not
    second.values[0x40] = 0xFF;
    RegisterGridModel grid;
    grid.showSweep(first);
    EXPECT_TRUE(grid.changed().none()) << "a first sweep has nothing to compare with";
    grid.showSweep(second);
    std::bitset<256> expected;
    expected[0x26] = expected[0xFF] = expected[0x40] = true;
    EXPECT_EQ(grid.changed(), expected);
    EXPECT_EQ(grid.data(grid.index(2, 6), Qt::DisplayRole).toString(), "1A*");
    EXPECT_EQ(grid.data(grid.index(4, 0), Qt::DisplayRole).toString(), "XX*");
    EXPECT_EQ(grid.data(grid.index(2, 5), Qt::DisplayRole).toString(), "11");
    EXPECT_EQ(grid.data(grid.index(2, 6), Qt::AccessibleTextRole).toString(), "0x26: 1A, changed");
    EXPECT_TRUE(grid.data(grid.index(2, 6), Qt::FontRole).value<QFont>().bold());
    grid.showSweep(second);
    EXPECT_TRUE(grid.changed().none()) << "the mark lasts one sweep";

    // Exactly two hex digits ask for a write; anything else is refused.
    QSignalSpy writes(&grid, &RegisterGridModel::writeRequested);
    QSignalSpy refused(&grid, &RegisterGridModel::invalidEntry);
    for (const char* typed : {"5", "5g", "123", " 7f "})
        grid.setData(grid.index(7, 11), QString::fromLatin1(typed), Qt::EditRole);
    EXPECT_EQ(refused.count(), 3);
    ASSERT_EQ(writes.count(), 1);
    EXPECT_EQ(writes[0][1].value<std::uint8_t>(), 0x7F);
}

class RegisterMap : public Form1Fixture {
protected:
    void SetUp() override
    {
        scriptTypicalChip();
        openOnScreen();
        map = qobject_cast<RegisterMapWindow*>(form->showRegisterMap());
        ASSERT_NE(map, nullptr);
        ASSERT_TRUE(map->readAll());
        ASSERT_TRUE(settleBus());
        bus.calls.clear();
    }
    void TearDown() override { std::filesystem::remove(snapshot); }

    RegisterMapWindow* map = nullptr;
    const std::filesystem::path snapshot =
        std::filesystem::temp_directory_path() / ("corvane-snapshot-" + std::to_string(::getpid()) + ".txt");
};

TEST_F(RegisterMap, ACellTypedOverIsWrittenThroughTheWritePathAndReadBack)
{
    auto* view = map->findChild<QTableView*>(QStringLiteral("registerGrid"));
    // The offscreen platform leaves the main window active.
    QApplication::setActiveWindow(map);
    ASSERT_TRUE(QTest::qWaitForWindowActive(map));
    struct Case {
        int failReadBack; // errno for the read-back, 0 for none
        const char* shown;
    };
    // A failed read-back leaves the value it had, marked.
    for (const Case& c : {Case{EIO, "01!"}, Case{0, "57"}}) {
        bus.calls.clear();
        bus.fail = [&c](const BusCall& call, int) { return call.kind == BusCall::Kind::Read ? c.failReadBack : 0; };
        view->setCurrentIndex(view->model()->index(7, 11));
        view->setFocus();
        QTest::keyClick(view, Qt::Key_5); // a key opens the cell's editor
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_7);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents(); // the editor commits by a queued call
        ASSERT_TRUE(settleBus());
        EXPECT_EQ(bus.calls, (Calls{Write(0x7B, 0x57), Read(0x7B)}));
        EXPECT_EQ(view->model()->index(7, 11).data().toString(), c.shown);
    }
}

TEST_F(RegisterMap, CopiesAndSavesInI2cdumpsLayout)
{
    EXPECT_TRUE(map->gridText().startsWith("     0  1  2  3  4  5  6  7  8  9  A  B  C  D  E  F    0123456789ABCDEF\n"
                                           "00: 00 00"));
    EXPECT_NE(map->gridText().indexOf("\n50: 00 00 00 00 00 00 00 00 00 00 00 00 C2 00 00 00"), -1);
    ASSERT_TRUE(map->saveSnapshot(QString::fromStdString(snapshot.string())));
    std::ifstream in(snapshot);
    std::string first;
    std::getline(in, first);
    EXPECT_TRUE(first.starts_with("# Corvane Bench ")) << first;
}

// Restore writes only the ticked registers, after one question, and reports
// the ones whose read-back differs; the report outlasts the sweep after it.
TEST_F(RegisterMap, RestoresOnlyTheTickedRegistersAndReportsWhatDidNotTake)
{
    std::array<std::uint8_t, 256> values = {};
    values[0x25] = 0x40; // a measurement: unticked
    values[0x3D] = 0x68; // the chip's identification, as the chip holds it
    values[0x3E] = 0x99; // not a known setting: unticked, then ticked by hand; its write fails
    values[0x5C] = 0xE2;
    values[0x7B] = 0x03; // unticked by the user
    values[0x5F] = 0x00; // equal to the chip: no difference
    values[0x30] = 0x81; // a duty: written after the behaviour
    values[0x7C] = 0x01;
    std::ofstream(snapshot) << snapshotText({"0", "x", 0x2E, "t"}, values, {});
    ASSERT_TRUE(map->compareWith(QString::fromStdString(snapshot.string())));
    std::vector<int> listed, ticked;
    for (const auto& d : map->differencesShown()) {
        listed.push_back(d.reg);
        if (d.tickedByDefault())
            ticked.push_back(d.reg);
    }
    EXPECT_EQ(listed, (std::vector<int>{0x25, 0x30, 0x3E, 0x5C, 0x7B}));
    EXPECT_EQ(ticked, (std::vector<int>{0x30, 0x5C, 0x7B}));
    auto* report = map->findChild<QLabel*>(QStringLiteral("restoreReport"));
    EXPECT_EQ(report->text(), "The snapshot holds 256 registers. Only the settings the program knows are ticked.");

    map->setTicked(0x7B, false);
    map->setTicked(0x3E, true);
    bus.fail = [](const BusCall& call, int) { return call == Write(0x3E, 0x99) ? ENXIO : 0; };
    boxes.answerNext(Answer::ClickYes);
    QMetaObject::invokeMethod(map, [this] { map->restoreTicked(); }, Qt::QueuedConnection);
    ASSERT_TRUE(QTest::qWaitFor([report] { return report->text().contains("did not take"); }, 5000));
    ASSERT_TRUE(settleBus());
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.contains("0x30: 80 to 81\n0x3E: 43 to 99\n0x5C: C2 to E2"))
        << boxes.seen()[0].text.toStdString();
    EXPECT_EQ(bus.calls, (Calls{Write(0x5C, 0xE2), Read(0x5C), Write(0x30, 0x81), Read(0x30), Write(0x3E, 0x99)} +
                          sweepReads()));
    EXPECT_EQ(report->text(), "The snapshot held 256 registers; 2 written. These did not take: 0x3E (its write failed).");
}

// i2cdump's output names no device: it is restored only into a chip whose
// identification it holds, and a snapshot of another device only on a Yes.
TEST_F(RegisterMap, ASnapshotOfAnotherDeviceIsNotRestoredUnasked)
{
    std::array<std::uint8_t, 256> values = {};
    values[0x5C] = 0xE2;
    values[0x3D] = 0x50;
    const struct {
        const char* what;
        std::string text;
        bool asks;
        const char* saying;
    } cases[] = {
        {"another device named", snapshotText({"0", "x", 0x51, "t"}, values, {}), true,
         "The snapshot is of device 0x51, not 0x2E."},
        {"no device named, another identification", registerGridText(values, {}), false,
         "its identification registers 0x3D to 0x3F (50 00 00) are not the chip's (68 43 00)"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(snapshot) << c.text;
        ASSERT_TRUE(map->compareWith(QString::fromStdString(snapshot.string())));
        bus.calls.clear();
        boxes.forget();
        boxes.answerNext(Answer::Escape);
        map->restoreTicked();
        ASSERT_TRUE(settleBus());
        EXPECT_EQ(boxes.seen().size(), c.asks ? 1u : 0u);
        EXPECT_TRUE(bus.calls.empty()) << "nothing written";
        const QString report = map->findChild<QLabel*>(QStringLiteral("restoreReport"))->text();
        EXPECT_TRUE(report.startsWith("Nothing was written.")) << report.toStdString();
        EXPECT_TRUE(report.contains(QLatin1String(c.saying))) << report.toStdString();
    }
}

TEST_F(RegisterMap, TheScanFindsWhatAnswersAndAClickWatchesIt)
{
    bus.set(0x00, 0x23, 0x50);
    auto* scan = qobject_cast<BusScanWindow*>(form->showBusScan());
    ASSERT_NE(scan, nullptr);
    EXPECT_TRUE(bus.calls.empty()) << "nothing is probed before Scan is pressed";
    clickAndSettle(scan->findChild<QPushButton*>(QStringLiteral("scan")));
    EXPECT_EQ(bus.calls.size(), 0x77u - 0x08u + 1u);
    QTableWidget* grid = scan->grid();
    EXPECT_EQ(grid->item(2, 14)->text(), "2E");
    EXPECT_EQ(grid->item(5, 0)->text(), "50");
    EXPECT_EQ(grid->item(5, 1)->text(), "--");
    EXPECT_TRUE(grid->item(5, 0)->toolTip().contains("memory modules"));
    EXPECT_EQ(grid->item(0, 3)->text(), "") << "below 0x08 nothing is probed";

    // 0x50 is probably a memory module's EEPROM: asked, and only a Yes
    // points the main window there.
    const QRect cell = grid->visualItemRect(grid->item(5, 0));
    boxes.answerNext(Answer::Escape);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(controls().txtDevAddr->text(), "2e");
    ASSERT_EQ(boxes.seen().size(), 1u);
    EXPECT_TRUE(boxes.seen()[0].text.contains("probably a memory module's SPD EEPROM")) << boxes.seen()[0].text.toStdString();
    boxes.answerNext(Answer::ClickYes);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
    EXPECT_EQ(controls().txtDevAddr->text(), "50");
    EXPECT_EQ(form->session().shared().DeviceAddress, 0x50);
}

} // namespace
