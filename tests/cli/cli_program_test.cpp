// brisko-cli run as a program: against brisko-testserver on loopback, and against a
// temporary system root with the delivered regedit and import files.
#include <gtest/gtest.h>

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>

#include "boost/reg_access.h"
#include "platform/posix/registry_read_posix.h"
#include "speedtest/report.h"
#include "tests/boost/import_file_reader.h"
#include "tests/boost/profile_fixture.h"
#include "tests/support/qt/test_server.h"
#include "tests/support/qt/wait.h"
#include "tests/support/temp_folder.h"

namespace brisko::test {
namespace {

struct CliRun {
    int status = -1;
    QString out, err;
    QStringList OutLines() const { return out.split('\n', Qt::SkipEmptyParts); }
};

CliRun RunProgram(const char* name, const QStringList& args, const QMap<QString, QString>& env = {},
                  const QString& folder = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    // Results go into a history of the tests' own, never the user's.
    static const TempFolder dataHome;
    environment.insert("XDG_DATA_HOME", QString::fromStdString(dataHome.path()));
    for (auto it = env.begin(); it != env.end(); ++it) environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    process.setWorkingDirectory(folder.isEmpty() ? QDir::currentPath() : folder);
    process.start(QStringLiteral(BRISKO_BIN_DIR "/") + name, args);
    CliRun run;
    QByteArray out, err;
    WaitUntil(
        [&] {
            out += process.readAllStandardOutput();
            err += process.readAllStandardError();
            return process.state() == QProcess::NotRunning;
        },
        90000);
    if (process.exitStatus() == QProcess::NormalExit) run.status = process.exitCode();
    run.out = QString::fromUtf8(out + process.readAllStandardOutput());
    run.err = QString::fromUtf8(err + process.readAllStandardError());
    return run;
}

CliRun RunCli(const QStringList& args, const QMap<QString, QString>& env = {}, const QString& folder = {}) {
    return RunProgram("brisko-cli", args, env, folder);
}

// The figure after a caption of the results, as printed: "5120 KB", "1.6 seconds".
QString Figure(const CliRun& run, const char* caption) {
    for (const QString& line : run.OutLines())
        if (line.startsWith(QString(caption) + " ")) return line.mid(QString(caption).size() + 1);
    return {};
}

qint64 Number(const QString& figure) { return figure.section(' ', 0, 0).toLongLong(); }

TEST(CliProgramTest, TicksResultsJsonReportsAndTheirComparison) {
    TestServerProcess server({"--rate", "4M"});
    ASSERT_TRUE(server.Started());
    TempFolder folder;
    const QString report = QString::fromStdString(folder / "results.txt");
    const QMap<QString, QString> env{{"BRISKO_TEST_SERVER", server.Address()},
                                     {"XDG_DATA_HOME", QString::fromStdString(folder / "data")}};

    const CliRun run = RunCli({"data-test", "--report", report}, env);
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    const QStringList lines = run.OutLines();
    ASSERT_GE(lines.size(), 9) << run.out.toStdString();
    EXPECT_EQ(lines[0], "Test file: " + server.Address() + "/5MB.zip");
    // Not a terminal: one whole line per tick, in the window's words and order.
    const QRegularExpression tick(
        "^Total - \\d+ seconds  Downloaded - \\d+ KB  Completed - [\\d.]+%  Speed - (\\d+) KB/s  "
        "Max - \\d+ KB/s  Min - \\d+ KB/s  Avg - \\d+ KB/s  Est - [\\d.]+ MB/s$");
    QList<qint64> speeds;
    for (int i = 1; i < lines.size() - 7; ++i) {
        const auto match = tick.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        speeds << match.captured(1).toLongLong();
    }
    ASSERT_FALSE(speeds.isEmpty());  // about 1.3 s at this rate
    EXPECT_EQ(lines[lines.size() - 7], kResultsHeading);
    EXPECT_EQ(Figure(run, kFileSizeCaption), "5120 KB");
    // The extremes are the ticks', widened to take in the average.
    const qint64 average = Number(Figure(run, kAverageSpeedCaption));
    EXPECT_EQ(Number(Figure(run, kMaximumSpeedCaption)), std::max(average, *std::max_element(speeds.begin(), speeds.end())));
    EXPECT_EQ(Number(Figure(run, kMinimumSpeedCaption)), std::min(average, *std::min_element(speeds.begin(), speeds.end())));
    EXPECT_EQ(lines.last(), kSavedText);

    const CliRun json = RunCli({"data-test", "--json", "--report", report}, env);
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    // Standard output is the object alone; the progress went to standard error.
    QJsonParseError error;
    const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    EXPECT_EQ(o.keys(), (QStringList{"average_kb_s", "bytes", "max_kb_s", "min_kb_s", "seconds", "speeds_kb_s",
                                     "url"}));
    EXPECT_EQ(o["url"].toString(), server.Address() + "/5MB.zip");
    EXPECT_EQ(o["bytes"].toInteger(), 5242880);
    EXPECT_FALSE(o["speeds_kb_s"].toArray().isEmpty());

    // The last report in the file is the one Save As writes, figures (the panel's) as in the JSON.
    const std::string written = ReadFileBytes(folder / "results.txt");
    const std::string last = written.substr(written.rfind(std::string(kReportRule) + "\r\n" + kReportRule) + 41);
    const std::size_t savedOn = last.find(kReportSavedOn) + std::strlen(kReportSavedOn);
    const std::size_t at = last.find(kReportSavedAt, savedOn), end = last.find("\r\n", at);
    const auto speed = [&](const char* key) { return std::to_string(o[key].toInteger()) + " KB/s"; };
    const QString time = QString::number(o["seconds"].toDouble(), 'g', 15).replace('.', QLocale::system().decimalPoint());
    const ReportFields fields{"5120 KB", time.toStdString() + " seconds", speed("average_kb_s"),
                              speed("max_kb_s"), speed("min_kb_s"), ""};
    EXPECT_EQ(last, BuildReport(fields, last.substr(savedOn, at - savedOn),
                                last.substr(at + std::strlen(kReportSavedAt), end - at - std::strlen(kReportSavedAt))));

    ASSERT_EQ(RunCli({"data-test", "--size", "medium", "--report", report}, env).status, 0);
    const CliRun compare = RunCli({"compare", report});
    ASSERT_EQ(compare.status, 0) << compare.err.toStdString();
    const QStringList rows = compare.OutLines();
    ASSERT_EQ(rows.size(), 4) << compare.out.toStdString();
    EXPECT_TRUE(rows[0].startsWith("Test  Saved"));
    EXPECT_TRUE(rows[2].contains(" 5120 KB (0%) "));
    EXPECT_TRUE(rows[3].contains(" 10240 KB (+100%) ")) << rows[3].toStdString();

    // Every test went into the history too: the JSON test's figures as printed.
    const CliRun history = RunCli({"history", "--json"}, env);
    ASSERT_EQ(history.status, 0) << history.err.toStdString();
    const QJsonArray records = QJsonDocument::fromJson(history.out.toUtf8()).array();
    ASSERT_EQ(records.size(), 3) << history.out.toStdString();
    QJsonObject kept = records[1].toObject();
    EXPECT_EQ(kept["kind"].toString(), "data-test");
    EXPECT_EQ(kept["from"].toString(), "brisko-cli");
    for (const char* key : {"url", "bytes", "seconds", "average_kb_s", "max_kb_s", "min_kb_s", "speeds_kb_s"})
        EXPECT_EQ(kept[key], o[key]) << key;
    const QStringList csv = RunCli({"history", "--csv"}, env).out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(csv.size(), 4);
    EXPECT_TRUE(csv[2].contains(",data-test,brisko-cli," + server.Address() + "/5MB.zip,,"));
    const QStringList table = RunCli({"history"}, env).OutLines();
    ASSERT_EQ(table.size(), 5) << table.join('\n').toStdString();
    EXPECT_TRUE(table[0].startsWith("Time  ") && table[3].contains("  data-test  brisko-cli  10240 KB in "));
    EXPECT_TRUE(table[4].startsWith("No boost yet: "));
    EXPECT_EQ(RunCli({"history", "--json", "--since", "2999-01-01"}, env).out, "[]\n");
    // compare without a file sets the history's data tests side by side.
    const QStringList fromHistory = RunCli({"compare"}, env).OutLines();
    ASSERT_EQ(fromHistory.size(), 4);
    EXPECT_TRUE(fromHistory[3].contains(" 10240 KB (+100%) ")) << fromHistory[3].toStdString();
}

TEST(CliProgramTest, FailuresEndWithTheirReasonAndStatus) {
    TestServerProcess missing({"--status", "404"});
    ASSERT_TRUE(missing.Started());
    TempFolder folder;
    WriteFileBytes(folder / "notes.txt", "not a report\n");
    const QString notes = QString::fromStdString(folder / "notes.txt");
    const std::tuple<QStringList, QString, int, QString> cases[] = {  // the last line of standard error
        {{"data-test"}, missing.Address(), 1, "Error! File not found."},
        {{"data-test"}, QStringLiteral("127.0.0.1:%1").arg(ClosedPort()), 1,
         "Error! Your Internet connection may be down. Connection refused"},
        {{"data-test", "--size", "huge"}, {}, 2, "Try 'brisko-cli data-test --help'."},
        {{"compare", notes}, {}, 1, "brisko-cli compare: " + notes + " is not a file of saved test reports: line 1 "
                                    "should read \"---------------------------------------\" but reads \"not a report\"."},
        {{"compare", notes + ".gone"}, {}, 1, "brisko-cli compare: cannot open " + notes + ".gone: No such file or directory."},
        {{"history", "--json", "--csv"}, {}, 2, "Try 'brisko-cli history --help'."},
    };
    for (const auto& [args, server, status, err] : cases) {
        const CliRun run = RunCli(args, {{"BRISKO_TEST_SERVER", server}});
        EXPECT_EQ(run.status, status) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.endsWith("\n"));
        EXPECT_EQ(run.err.split('\n', Qt::SkipEmptyParts).last(), err) << run.err.toStdString();
    }
}

// Both engines against the local web server; their profiles and caches in a folder of the test's own.
TEST(CliProgramTest, WebTestTimesEachLoadWithTheWindowsRules) {
    TestServerProcess web({"--page-images", "2", "--image-delay", "150"});
    ASSERT_TRUE(web.Started());
    TempFolder folder;
    const QMap<QString, QString> env{{"BRISKO_SYSTEM_ROOT", QString::fromStdString(folder / "system")},
                                     {"XDG_DATA_HOME", QString::fromStdString(folder / "data")},
                                     {"XDG_CACHE_HOME", QString::fromStdString(folder / "cache")}};
    const QString page = "http://" + web.Address() + "/default.html";
    for (const char* engine : {"ie", "mozilla"}) {
        SCOPED_TRACE(engine);
        const CliRun json = RunCli({"web-test", page, "--engine", engine, "--runs", "3", "--json"}, env);
        ASSERT_EQ(json.status, 0) << json.err.toStdString();
        QJsonParseError error;
        const QJsonObject o = QJsonDocument::fromJson(json.out.toUtf8(), &error).object();
        ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
        EXPECT_EQ(o["address"].toString(), page);
        EXPECT_EQ(o["engine"].toString(), engine);
        QList<double> seconds;
        for (const QJsonValue& v : o["seconds"].toArray()) seconds << v.toDouble();
        ASSERT_EQ(seconds.size(), 3);
        std::sort(seconds.begin(), seconds.end());
        // The images are answered late; the Internet Explorer-style test never reads a cache,
        // the Mozilla-style one may after its first load, as in the windows.
        EXPECT_GE(std::string(engine) == "ie" ? seconds[0] : seconds[2], 0.15);
        EXPECT_EQ(o["median"].toDouble(), seconds[1]);
        EXPECT_NEAR(o["spread"].toDouble(), seconds[2] - seconds[0], 1e-6);
        // Each load's message went aside, as the window words it.
        const QStringList said = json.err.split('\n', Qt::SkipEmptyParts);
        ASSERT_EQ(said.size(), 3) << json.err.toStdString();
        for (const QString& line : said)
            EXPECT_TRUE(QRegularExpression("^This page took [\\d.]+ seconds to load\\.$").match(line).hasMatch());
    }

    const CliRun text = RunCli({"web-test", page, "--runs", "2"}, env);
    ASSERT_EQ(text.status, 0) << text.err.toStdString();
    const QStringList lines = text.OutLines();
    ASSERT_EQ(lines.size(), 4) << text.out.toStdString();
    EXPECT_TRUE(lines[2].startsWith("Median: ") && lines[2].endsWith(" seconds"));
    EXPECT_TRUE(lines[3].startsWith("Spread: "));

    // The test server's page: every image fetched with a request of its own at every load,
    // the Mozilla-style engine's cache notwithstanding.
    TestServerProcess pages({"--page-images", "4", "--image-delay", "100"});
    ASSERT_TRUE(pages.Started());
    const CliRun served =
        RunCli({"web-test", "http://" + pages.Address() + "/default.html", "--engine", "mozilla", "--runs", "2"}, env);
    EXPECT_EQ(served.status, 0) << served.err.toStdString();
    EXPECT_EQ(pages.Log().count(QRegularExpression("GET /images/\\d\\.bmp\\?delay=100 ")), 8);
    EXPECT_EQ(pages.Log().count("GET /default.html "), 4);  // the image count and the load, twice

    // A page that never came: the reason on standard error, no time.
    const QString missing = "http://" + web.Address() + "/missing";
    const CliRun down = RunCli({"web-test", missing}, env);
    EXPECT_EQ(down.status, 1);
    EXPECT_EQ(down.out.toStdString(), "");
    EXPECT_EQ(down.err, "Error. Your Internet connection may be down. 404 The server answered with HTTP status 404: " +
                            missing + "\n");
}

// A temporary Windows machine whose user ann has both browser profiles.
class CliBoostProgramTest : public ::testing::Test {
protected:
    CliBoostProgramTest() {
        env = {{"BRISKO_SYSTEM_ROOT", QString::fromStdString(p.root.string())},
               {"XDG_DATA_HOME", QString::fromStdString((p.root / "data").string())}};
        p.CreateAll(kUserPrefs, kUserPrefs);
        WriteBytes(p.root / "seed.reg",
                   "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Volatile Environment]\r\n\"HOMEPATH\"=\"\\\\Users\\\\ann\"\r\n");
        EXPECT_EQ(RunProgram("regedit", {"/s", QString::fromStdString((p.root / "seed.reg").string())}, env).status, 0);
    }

    std::string Read(const RegValueName& value) {
        return RegAccess::ReadRegValue(registry, value.root, value.keyPath, value.name);
    }
    // The imports run on after the command has ended; waits until they have all landed.
    bool Imported(const std::vector<std::string>& files, bool set = true) {
        return WaitUntil(
            [&] {
                for (const auto& name : files)
                    for (const auto& [value, data] : LoadImportFile(name).dwords) {
                        char text[16];
                        std::snprintf(text, sizeof text, "%03u", data);
                        if ((Read(value) == text) != set) return false;
                    }
                return true;
            },
            60000);
    }

    ProfileFixture p;
    QMap<QString, QString> env;
    RegistryReaderPosix registry{p.root.string()};
    // Somewhere other than the program's folder: the imports must be found all the same.
    QString elsewhere = QDir::tempPath();
};

// Each command runs its own mode's imports, found from another working folder, and
// read-reg reads the machine the imports wrote.
TEST_F(CliBoostProgramTest, EachCommandRunsItsModeWithTheRealRegedit) {
    const CliRun boost = RunCli({"boost", "--dial-up"}, env, elsewhere);
    ASSERT_EQ(boost.status, 0) << boost.out.toStdString() << boost.err.toStdString();
    EXPECT_TRUE(boost.out.startsWith("Imports started:\n  regedit /s web.reg\n")) << boost.out.toStdString();
    EXPECT_TRUE(boost.out.endsWith("  regedit /s tcp-modem.reg\nHome path: \\Users\\ann\nPatchControlPrefs: done\n"
                                   "PatchFirefoxPrefs: done\n"));
    EXPECT_EQ(boost.err, "");
    ASSERT_TRUE(Imported({"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg",
                          "web-modem.reg", "tcp-modem.reg"}));
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines);
    EXPECT_EQ(RunCli({"read-reg", "hkcu", "volatile environment", "HOMEPATH"}, env).out, "\\Users\\ann\n");

    const CliRun pro = RunCli({"pro-boost"}, env, elsewhere);
    EXPECT_TRUE(pro.out.startsWith("Imports started:\n  regedit /s web-game.reg\n")) << pro.out.toStdString();
    ASSERT_TRUE(Imported({"web-game.reg", "tcp-game.reg"}));
    const CliRun restore = RunCli({"restore"}, env, elsewhere);
    EXPECT_TRUE(restore.out.endsWith("RestoreControlPrefs: done\nRestoreFirefoxPrefs: done\n"));
    ASSERT_TRUE(Imported({"web.reg", "tcp.reg"}, false));
    EXPECT_EQ(ReadBytes(p.controlPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "control.js"));

    // Each command is in the history with what it imported and patched.
    const QJsonArray records = QJsonDocument::fromJson(RunCli({"history", "--json"}, env).out.toUtf8()).array();
    ASSERT_EQ(records.size(), 3);
    EXPECT_EQ(records[0]["kind"].toString(), "boost");
    EXPECT_EQ(records[0]["imported"].toArray().size(), 8);
    EXPECT_EQ(records[1]["kind"].toString(), "pro-boost");
    EXPECT_EQ(records[2]["kind"].toString(), "restore");
    EXPECT_EQ(records[2]["patched"].toArray(), (QJsonArray{"RestoreControlPrefs", "RestoreFirefoxPrefs"}));
}

}  // namespace
}  // namespace brisko::test
