// corvane-bench serve as a lab runs it: the built program on the simulated
// chip, scraped over HTTP on loopback. Its exposition passes the monitoring
// engine's own checker and says what read --json says; scrapes cost the
// bus nothing; bad options fail in one line; signals end it at once.

#include "support/ChildProcess.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QString>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <thread>

namespace {

using namespace std::chrono_literals;

bool have(const char* tool)
{
    return run(std::string("command -v ") + tool + " >/dev/null 2>&1").status == 0;
}

class Exporter : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!have("curl") || !have("promtool")) {
            if (std::getenv("CORVANE_REQUIRE_SYSTEM_TESTS"))
                FAIL() << "needs curl and promtool (scripts/test installs them)";
            GTEST_SKIP() << "needs curl and promtool (scripts/test installs them)";
        }
        std::filesystem::create_directories(runtime);
    }
    void TearDown() override { std::filesystem::remove_all(runtime); }

    // serve on a free loopback port, once it answers.
    std::unique_ptr<Child> serve(std::vector<std::string> options)
    {
        port = 20000 + static_cast<int>(getpid() % 20000);
        std::vector<std::string> argv{CORVANE_BENCH_PATH, "serve", "--listen", "127.0.0.1:" + std::to_string(port)};
        argv.insert(argv.end(), options.begin(), options.end());
        auto child = std::make_unique<Child>(argv, std::vector<std::string>{"XDG_RUNTIME_DIR=" + runtime.string()}, -1,
                                             (runtime / "out").string(), (runtime / "err").string());
        for (auto waited = 0ms; waited < 10s && scrape().empty(); waited += 100ms)
            std::this_thread::sleep_for(100ms);
        return child;
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port) + "/metrics"; }
    std::string scrape() const { return output("curl -sf " + url()); }

    // A series' value in an exposition: name{labels} value, where every
    // label given is among the series' labels.
    static std::optional<double> value(const std::string& exposition, const std::string& name, const std::string& label = {})
    {
        const QString text = QString::fromStdString(exposition);
        for (const QString& line : text.split(QLatin1Char('\n'))) {
            if (!line.startsWith(QString::fromStdString(name + "{")) || !line.contains(QString::fromStdString(label)))
                continue;
            return line.section(QLatin1Char(' '), -1).toDouble();
        }
        return std::nullopt;
    }

    const std::filesystem::path runtime =
        std::filesystem::temp_directory_path() / ("corvane-serve-" + std::to_string(getpid()));
    int port = 0;
};

// The exposition of a held chip passes promtool, has a HELP and a TYPE for
// each metric, and its values are read --json's.
TEST_F(Exporter, TheExpositionPassesPromtoolAndAgreesWithReadJson)
{
    const auto app = serve({"--simulate", "--hold-readings"});
    const std::string exposition = scrape();
    ASSERT_FALSE(exposition.empty()) << "no answer on " << url();
    std::ofstream(runtime / "metrics.txt") << exposition;
    const CommandResult checked = run("promtool check metrics < " + (runtime / "metrics.txt").string() + " 2>&1");
    EXPECT_EQ(checked.status, 0) << checked.text;
    for (const char* metric : {"corvane_up", "corvane_temperature_celsius", "corvane_fan_speed_rpm",
                               "corvane_voltage_volts", "corvane_pwm_duty_ratio", "corvane_pwm_behaviour",
                               "corvane_polls_total", "corvane_poll_duration_seconds"}) {
        EXPECT_NE(exposition.find(std::string("# HELP ") + metric + " "), std::string::npos) << metric;
        EXPECT_NE(exposition.find(std::string("# TYPE ") + metric + " "), std::string::npos) << metric;
    }
    EXPECT_NE(exposition.find("device=\"0x2E\""), std::string::npos);
    EXPECT_NE(exposition.find("controller=\"2\""), std::string::npos);
    EXPECT_NE(exposition.find("bus=\"the simulated SMBus\""), std::string::npos);

    const CommandResult read = run("env XDG_RUNTIME_DIR=" + runtime.string() + " " + CORVANE_BENCH_PATH +
                                   " read --json --simulate --hold-readings");
    ASSERT_EQ(read.status, 0);
    const QJsonObject json = QJsonDocument::fromJson(QByteArray::fromStdString(read.text)).object();
    const struct {
        const char* key;
        const char* metric;
        const char* label;
        double scale;
    } pairs[] = {{"local_c", "corvane_temperature_celsius", "sensor=\"local\"", 1},
                 {"remote1_c", "corvane_temperature_celsius", "sensor=\"remote1\"", 1},
                 {"remote2_c", "corvane_temperature_celsius", "sensor=\"remote2\"", 1},
                 {"fan1_rpm", "corvane_fan_speed_rpm", "fan=\"1\"", 1},
                 {"fan2_rpm", "corvane_fan_speed_rpm", "fan=\"2\"", 1},
                 {"fan3_rpm", "corvane_fan_speed_rpm", "fan=\"3\"", 1},
                 {"fan4_rpm", "corvane_fan_speed_rpm", "fan=\"4\"", 1},
                 {"vcc_v", "corvane_voltage_volts", "rail=\"vcc\"", 1},
                 {"vccp_v", "corvane_voltage_volts", "rail=\"vccp\"", 1},
                 {"duty_pct", "corvane_pwm_duty_ratio", "pwm=\"1\"", 100}};
    for (const auto& pair : pairs) {
        SCOPED_TRACE(pair.key);
        const auto exported = value(exposition, pair.metric, pair.label);
        ASSERT_TRUE(exported);
        EXPECT_NEAR(*exported * pair.scale, json[QLatin1String(pair.key)].toDouble(), 1e-9);
    }
    const std::string behaviour = json[QLatin1String("behaviour")].toString().toStdString();
    EXPECT_EQ(value(exposition, "corvane_pwm_behaviour", "behaviour=\"" + behaviour + "\""), 1.0);
    EXPECT_EQ(value(exposition, "corvane_pwm_behaviour", "behaviour=\"manual\""), behaviour == "manual" ? 1.0 : 0.0);
    EXPECT_EQ(value(exposition, "corvane_up"), 1.0);
}

// No device at the address: up is 0, a failed poll is counted by its
// errno, and no reading is in the scrape at all, never 0 or -1.
TEST_F(Exporter, ADeviceThatDoesNotAnswerIsUpZeroWithNoReadings)
{
    const auto app = serve({"--simulate", "--device", "48", "--interval", "200ms"});
    std::this_thread::sleep_for(600ms);
    const std::string exposition = scrape();
    EXPECT_EQ(value(exposition, "corvane_up"), 0.0) << exposition;
    EXPECT_GE(value(exposition, "corvane_poll_errors_total", "error=\"ENXIO\"").value_or(0), 1.0) << exposition;
    for (const char* metric : {"corvane_temperature_celsius", "corvane_fan_speed_rpm", "corvane_voltage_volts",
                               "corvane_pwm_duty_ratio", "corvane_pwm_behaviour"})
        EXPECT_FALSE(value(exposition, metric)) << metric;
}

// The bus is polled on the exporter's cadence: twenty scrapes in a second
// add no more than the one poll that second brings anyway.
TEST_F(Exporter, ManyScrapesAtOnceAddNoPolls)
{
    const auto app = serve({"--simulate", "--hold-readings", "--interval", "1s"});
    const double before = value(scrape(), "corvane_polls_total").value_or(-1);
    std::vector<std::thread> scrapers;
    std::atomic<int> answered = 0;
    for (int i = 0; i < 20; ++i)
        scrapers.emplace_back([this, &answered] { answered += scrape().empty() ? 0 : 1; });
    for (std::thread& scraper : scrapers)
        scraper.join();
    const double after = value(scrape(), "corvane_polls_total").value_or(-1);
    EXPECT_EQ(answered, 20);
    EXPECT_LE(after - before, 1.0);
}

// Nothing but /metrics answers, and nothing there changes anything.
TEST_F(Exporter, NoPathWritesAndSignalsEndItAtOnce)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        const auto app = serve({"--simulate"});
        EXPECT_EQ(output("curl -s -o /dev/null -w '%{http_code}' -X POST " + url()), "404");
        EXPECT_EQ(output("curl -s -o /dev/null -w '%{http_code}' http://127.0.0.1:" + std::to_string(port) + "/"),
                  "404");
        const auto sent = std::chrono::steady_clock::now();
        ::kill(app->pid(), signal);
        EXPECT_EQ(app->wait(5s), 0);
        EXPECT_LT(std::chrono::steady_clock::now() - sent, 1500ms);
    }
}

TEST_F(Exporter, BadOptionsFailInOneLine)
{
    const auto holder = serve({"--simulate"}); // holds the port
    const std::string taken = "127.0.0.1:" + std::to_string(port);
    const struct {
        std::string options;
        std::string saying;
    } cases[] = {
        {"--listen " + taken, "cannot listen on " + taken},
        {"--listen nonsense", "is not ADDR:PORT"},
        {"--listen 127.0.0.1:70000", "is not ADDR:PORT"},
        {"--listen 300.1.1.1:9000", "is not ADDR:PORT"},
        {"--listen 192.0.2.1:9000", "cannot listen on 192.0.2.1:9000"},
        {"--device 80", "is not a 7-bit address"},
        {"--device zz", "is not a 7-bit address"},
        {"--interval 10ms", "100ms at the least"},
        {"--limit 'local_c<=80'", "serve does not take --limit"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.options);
        const CommandResult failed = run("env XDG_RUNTIME_DIR=" + runtime.string() + " " + CORVANE_BENCH_PATH +
                                         " serve --simulate " + c.options + " 2>&1 >/dev/null");
        EXPECT_EQ(failed.status, 2);
        EXPECT_NE(failed.text.find(c.saying), std::string::npos) << failed.text;
        EXPECT_LE(std::count(failed.text.begin(), failed.text.end(), '\n'), 2) << failed.text;
    }
}

} // namespace
