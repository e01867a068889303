#include "FanTestCsv.h"

#include "CsvRecorder.h"
#include "CsvText.h"

std::string fanTestCsv(const std::vector<FanStep>& steps)
{
    std::string text = "time,sweep,duty_pct,fan1_rpm,settle_s,settled\r\n";
    for (const FanStep& step : steps) {
        text += isoUtcText(step.time) + (step.down ? ",down," : ",up,") + std::to_string(step.dutyPercent) + "," +
                csvNumber(step.rpm) + "," + csvNumber(step.settleSeconds) + (step.settled ? ",yes" : ",no") + "\r\n";
    }
    return text;
}
