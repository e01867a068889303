// report: reads the recordings and the fan test named, and writes the
// report whole or not at all: a file half written would pass for a report.

#include "CommandSupport.h"
#include "Commands.h"
#include "recording/RunReport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>
#include <ostream>

int runReport(const CommandRequest& request, std::ostream& out, std::ostream& err)
{
    const auto load = [&err](const QString& path) -> std::optional<ReportRun> {
        auto loaded = loadReportRun(path.toStdString());
        if (auto* problem = std::get_if<std::string>(&loaded)) {
            complain(err, ExitStatus::BadCommandLine, *problem);
            return std::nullopt;
        }
        return std::move(std::get<ReportRun>(loaded));
    };
    ReportContents report;
    report.version = QCoreApplication::applicationVersion().toStdString();
    auto run = load(request.path);
    if (!run)
        return ExitStatus::BadCommandLine;
    report.run = std::move(*run);
    if (!request.comparePath.isEmpty()) {
        report.compared = load(request.comparePath);
        if (!report.compared)
            return ExitStatus::BadCommandLine;
    }
    if (!request.fanTestPath.isEmpty()) {
        auto test = readFanTestFile(request.fanTestPath.toStdString());
        if (auto* problem = std::get_if<std::string>(&test))
            return complain(err, ExitStatus::BadCommandLine, *problem);
        report.fanTest.emplace(QFileInfo(request.fanTestPath).fileName().toStdString(),
                               std::move(std::get<FanTestRead>(test)));
    }
    const std::string text = request.json ? reportJson(report) : reportHtml(report);
    if (request.outputPath == QLatin1String("-")) {
        out << text;
        out.flush();
        return out ? ExitStatus::Ok : ExitStatus::BadCommandLine;
    }
    QSaveFile file(request.outputPath);
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
        !file.commit())
        return complain(err, ExitStatus::BadCommandLine,
                        "Cannot write " + request.outputPath.toStdString() + ": " + file.errorString().toStdString());
    return ExitStatus::Ok;
}
