#include "support/MessageBoxAnswerer.h"
#include "ui/widgets/MessageBoxes.h"

#include <gtest/gtest.h>

namespace {

using Answer = MessageBoxAnswerer::Answer;

// Enter takes the simulated chip; Escape, like No, quits.
TEST(NoSmbusQuestion, OffersTheSimulatedChipOrQuitting)
{
    const std::pair<Answer, bool> cases[] = {
        {Answer::Enter, true}, {Answer::ClickYes, true}, {Answer::Escape, false}, {Answer::ClickNo, false}};
    for (const auto& [answer, simulate] : cases) {
        MessageBoxAnswerer boxes;
        boxes.answerNext(answer);
        EXPECT_EQ(askToRunSimulated(nullptr, QStringLiteral("Permission denied opening /dev/i2c-0.")), simulate);
        ASSERT_EQ(boxes.seen().size(), 1u);
        EXPECT_EQ(boxes.seen()[0].buttons, QMessageBox::Yes | QMessageBox::No);
    }
}

} // namespace
