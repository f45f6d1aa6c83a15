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

CliRun RunCli(const QStringList& args, const QMap<QString, QString>& env = {}, const QString& folder = {}) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (auto it = env.begin(); it != env.end(); ++it) environment.insert(it.key(), it.value());
    process.setProcessEnvironment(environment);
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(QStringLiteral(BRISKO_BIN_DIR "/brisko-cli"), args);
    CliRun run;
    if (!process.waitForStarted(10000)) return run;
    QByteArray out, err;
    WaitUntil(
        [&] {
            out += process.readAllStandardOutput();
            err += process.readAllStandardError();
            return process.state() == QProcess::NotRunning;
        },
        90000);
    out += process.readAllStandardOutput();
    err += process.readAllStandardError();
    if (process.exitStatus() == QProcess::NormalExit) run.status = process.exitCode();
    run.out = QString::fromUtf8(out);
    run.err = QString::fromUtf8(err);
    return run;
}

// The figure after a caption of the results, as printed: "5120 KB", "1.6 seconds".
QString Figure(const CliRun& run, const char* caption) {
    for (const QString& line : run.OutLines())
        if (line.startsWith(QString(caption) + " ")) return line.mid(QString(caption).size() + 1);
    return {};
}

qint64 Number(const QString& figure) { return figure.section(' ', 0, 0).toLongLong(); }

TEST(CliProgramTest, DataTestShowsEachTickOnALineThenTheResults) {
    TestServerProcess server({"--rate", "3M"});
    ASSERT_TRUE(server.Started());
    const CliRun run = RunCli({"data-test"}, {{"BRISKO_TEST_SERVER", server.Address()}});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_EQ(run.err, "");
    const QStringList lines = run.OutLines();
    ASSERT_GE(lines.size(), 8);
    EXPECT_EQ(lines[0], "Test file: " + server.Address() + "/5MB.zip");

    // Not a terminal: one whole line per tick, in the window's words and order.
    const QRegularExpression tick(
        "^Total - \\d+ seconds  Downloaded - (\\d+) KB  Completed - [\\d.]+%  Speed - (\\d+) KB/s  "
        "Max - (\\d+) KB/s  Min - (\\d+) KB/s  Avg - \\d+ KB/s  Est - [\\d.]+ MB/s$");
    QList<qint64> speeds;
    qint64 lastMax = 0, lastMin = 0;
    int i = 1;
    for (; i < lines.size() && !lines[i].startsWith(kResultsHeading); ++i) {
        const auto match = tick.match(lines[i]);
        ASSERT_TRUE(match.hasMatch()) << lines[i].toStdString();
        EXPECT_FALSE(lines[i].contains('\r'));
        speeds << match.captured(2).toLongLong();
        lastMax = match.captured(3).toLongLong();
        lastMin = match.captured(4).toLongLong();
    }
    ASSERT_FALSE(speeds.isEmpty()) << run.out.toStdString();  // about 2 s at this rate
    EXPECT_EQ(lastMax, *std::max_element(speeds.begin(), speeds.end()));
    EXPECT_EQ(lastMin, *std::min_element(speeds.begin(), speeds.end()));

    ASSERT_EQ(lines.size(), i + 6) << run.out.toStdString();
    EXPECT_EQ(Figure(run, kFileSizeCaption), "5120 KB");
    EXPECT_TRUE(Figure(run, kTotalTimeCaption).endsWith(" seconds"));
    EXPECT_EQ(Figure(run, kMaximumSpeedCaption), QString("%1 KB/s").arg(lastMax));
    EXPECT_EQ(Figure(run, kMinimumSpeedCaption), QString("%1 KB/s").arg(lastMin));
    const double seconds = Figure(run, kTotalTimeCaption).section(' ', 0, 0).toDouble();
    EXPECT_GE(seconds, 0.5);
    // The average is the size over the whole time, cut to KB/s; the time is cut to tenths.
    const qint64 average = Number(Figure(run, kAverageSpeedCaption));
    EXPECT_LE(average, static_cast<qint64>(5242880 / seconds / 1024));
    EXPECT_GE(average, static_cast<qint64>(5242880 / (seconds + 0.1) / 1024));
}

TEST(CliProgramTest, JsonAndReportsOfThreeRunsThenTheirComparison) {
    TestServerProcess server;
    ASSERT_TRUE(server.Started());
    TempFolder folder;
    const QString report = QString::fromStdString(folder / "results.txt");
    const QMap<QString, QString> env{{"BRISKO_TEST_SERVER", server.Address()}};

    const CliRun json = RunCli({"data-test", "--size", "medium", "--json", "--report", report}, env);
    ASSERT_EQ(json.status, 0) << json.err.toStdString();
    // Standard output is the object alone; the progress went to standard error.
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(json.out.toUtf8(), &error);
    ASSERT_EQ(error.error, QJsonParseError::NoError) << json.out.toStdString();
    const QJsonObject o = document.object();
    EXPECT_EQ(o.keys(), (QStringList{"average_kb_s", "bytes", "max_kb_s", "min_kb_s", "seconds", "speeds_kb_s",
                                     "url"}));
    EXPECT_EQ(o["url"].toString(), server.Address() + "/10MB.zip");
    EXPECT_EQ(o["bytes"].toInteger(), 10485760);
    EXPECT_TRUE(o["speeds_kb_s"].isArray());
    QList<qint64> speeds;
    for (const QJsonValue& v : o["speeds_kb_s"].toArray()) speeds << v.toInteger();
    EXPECT_EQ(o["max_kb_s"].toInteger(), speeds.isEmpty() ? 0 : *std::max_element(speeds.begin(), speeds.end()));
    EXPECT_EQ(o["min_kb_s"].toInteger(),
              speeds.isEmpty() ? 10240 : *std::min_element(speeds.begin(), speeds.end()));
    EXPECT_TRUE(json.err.startsWith("Test file: " + server.Address() + "/10MB.zip\n")) << json.err.toStdString();

    // The report is the one Save As writes, figures as in the JSON, comment empty.
    const std::string written = ReadFileBytes(folder / "results.txt");
    const std::size_t savedOn = written.find(kReportSavedOn) + std::strlen(kReportSavedOn);
    const std::size_t at = written.find(kReportSavedAt, savedOn);
    const std::size_t end = written.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << written;
    const auto speed = [&](const char* key) { return std::to_string(o[key].toInteger()) + " KB/s"; };
    const double seconds = o["seconds"].toDouble();
    const ReportFields fields{"10240 KB",
                              QString::number(seconds, 'g', 15).replace('.', QLocale::system().decimalPoint()).toStdString() +
                                  " seconds",
                              speed("average_kb_s"), speed("max_kb_s"), speed("min_kb_s"), ""};
    EXPECT_EQ(written, BuildReport(fields, written.substr(savedOn, at - savedOn),
                                   written.substr(at + std::strlen(kReportSavedAt), end - at - std::strlen(kReportSavedAt))));

    for (int run = 0; run < 2; ++run) {
        const CliRun text = RunCli({"data-test", "--report", report}, env);
        ASSERT_EQ(text.status, 0) << text.err.toStdString();
        EXPECT_EQ(text.OutLines().last(), kSavedText);
    }
    const CliRun compare = RunCli({"compare", report});
    ASSERT_EQ(compare.status, 0) << compare.err.toStdString();
    const QStringList rows = compare.OutLines();
    ASSERT_EQ(rows.size(), 4) << compare.out.toStdString();
    EXPECT_TRUE(rows[0].startsWith("Test  Saved"));
    EXPECT_TRUE(rows[1].contains(" 10240 KB "));
    EXPECT_TRUE(rows[2].contains(" 5120 KB (-50%) ")) << rows[2].toStdString();
    EXPECT_TRUE(rows[3].contains(" 5120 KB (-50%) "));
}

TEST(CliProgramTest, FailuresAndBadUsage) {
    TestServerProcess missing({"--status", "404"});
    ASSERT_TRUE(missing.Started());
    TempFolder folder;
    WriteFileBytes(folder / "notes.txt", "not a report\n");
    const QString notes = QString::fromStdString(folder / "notes.txt");
    struct Case {
        QStringList args;
        QMap<QString, QString> env;
        int status;
        QString err;  // its last line
    };
    const Case cases[] = {
        {{"data-test"}, {{"BRISKO_TEST_SERVER", missing.Address()}}, 1, "Error! File not found."},
        {{"data-test"},
         {{"BRISKO_TEST_SERVER", QStringLiteral("127.0.0.1:%1").arg(UnusedPort())}},
         1,
         "Error! Your Internet connection may be down. Connection refused"},
        {{"data-test", "--size", "huge"}, {}, 2, "Try 'brisko-cli data-test --help'."},
        {{"web-test", "ftp://x/"}, {}, 2, "Try 'brisko-cli web-test --help'."},
        {{"read-reg", "HKXX", "key"}, {}, 2, "Try 'brisko-cli read-reg --help'."},
        {{}, {}, 2, "Try 'brisko-cli --help'."},
        {{"compare", notes}, {}, 1, "brisko-cli compare: " + notes +
                                        " is not a file of saved test reports: line 1 should read "
                                        "\"---------------------------------------\" but reads \"not a report\"."},
        {{"compare", notes + ".gone"}, {}, 1, "brisko-cli compare: cannot open " + notes +
                                                  ".gone: No such file or directory."},
    };
    for (const Case& c : cases) {
        const CliRun run = RunCli(c.args, c.env);
        EXPECT_EQ(run.status, c.status) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err.split('\n', Qt::SkipEmptyParts).value(run.err.count('\n') - 1), c.err)
            << run.err.toStdString();
        EXPECT_TRUE(run.err.endsWith('\n'));
    }
    const CliRun help = RunCli({"data-test", "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_TRUE(help.out.startsWith("Usage: brisko-cli data-test [--size quick|medium|long] [--report FILE] [--json]\n"));
    EXPECT_EQ(help.err, "");
}

// A temporary Windows machine whose user ann has both browser profiles.
class CliBoostProgramTest : public ::testing::Test {
protected:
    CliBoostProgramTest() {
        env = {{"BRISKO_SYSTEM_ROOT", QString::fromStdString(p.root.string())}};
        p.CreateAll(kUserPrefs, kUserPrefs);
        WriteBytes(p.root / "seed.reg",
                   "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Volatile Environment]\r\n\"HOMEPATH\"=\"\\\\Users\\\\ann\"\r\n");
        QProcess regedit;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("BRISKO_SYSTEM_ROOT", env["BRISKO_SYSTEM_ROOT"]);
        regedit.setProcessEnvironment(environment);
        regedit.start(QStringLiteral(BRISKO_BIN_DIR "/regedit"),
                      {"/s", QString::fromStdString((p.root / "seed.reg").string())});
        EXPECT_TRUE(regedit.waitForFinished(30000));
    }

    std::string Read(const RegValueName& value) {
        return RegAccess::ReadRegValue(registry, value.root, value.keyPath, value.name);
    }
    // The imports run on after the command has ended; waits until they have all landed.
    bool Imported(const std::vector<std::string>& files, bool set) {
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

TEST_F(CliBoostProgramTest, BoostProBoostAndRestoreWithTheRealRegedit) {
    const CliRun boost = RunCli({"boost", "--dial-up"}, env, elsewhere);
    ASSERT_EQ(boost.status, 0) << boost.out.toStdString() << boost.err.toStdString();
    EXPECT_EQ(boost.out,
              "Imports started:\n  regedit /s web.reg\n  regedit /s tcp.reg\n  regedit /s zero1.reg\n"
              "  regedit /s dns1.reg\n  regedit /s service.reg\n  regedit /s lanman.reg\n"
              "  regedit /s web-modem.reg\n  regedit /s tcp-modem.reg\n"
              "Home path: \\Users\\ann\nPatchControlPrefs: done\nPatchFirefoxPrefs: done\n");
    EXPECT_EQ(boost.err, "");
    ASSERT_TRUE(Imported({"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg",
                          "web-modem.reg", "tcp-modem.reg"},
                         true));
    EXPECT_EQ(ReadBytes(p.controlPrefs), kUserPrefs + kNineLines);
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines);

    const CliRun pro = RunCli({"pro-boost"}, env, elsewhere);
    ASSERT_EQ(pro.status, 0) << pro.err.toStdString();
    EXPECT_TRUE(pro.out.startsWith("Imports started:\n  regedit /s web-game.reg\n  regedit /s tcp-game.reg\n"));
    ASSERT_TRUE(Imported({"web-game.reg", "tcp-game.reg"}, true));
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), kUserPrefs + kNineLines + kNineLines);

    const CliRun restore = RunCli({"restore"}, env, elsewhere);
    ASSERT_EQ(restore.status, 0) << restore.err.toStdString();
    EXPECT_TRUE(restore.out.endsWith("RestoreControlPrefs: done\nRestoreFirefoxPrefs: done\n"));
    ASSERT_TRUE(Imported({"web.reg", "tcp.reg"}, false));
    EXPECT_EQ(ReadBytes(p.controlPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "control.js"));
    EXPECT_EQ(ReadBytes(p.firefoxPrefs), ReadBytes(fs::path(BRISKO_BIN_DIR) / "fire.js"));
}

TEST_F(CliBoostProgramTest, BoostWithoutFirefoxSaysWhichStepFailed) {
    fs::remove_all(p.firefoxRoot);
    const CliRun boost = RunCli({"boost"}, env, elsewhere);
    EXPECT_EQ(boost.status, 1);
    EXPECT_TRUE(boost.out.contains("PatchControlPrefs: done\nPatchFirefoxPrefs: failed: ")) << boost.out.toStdString();
    EXPECT_TRUE(boost.err.startsWith("brisko-cli boost: stopped: ")) << boost.err.toStdString();
    EXPECT_EQ(ReadBytes(p.controlPrefs), kUserPrefs + kNineLines);
    ASSERT_TRUE(Imported({"web.reg", "tcp.reg", "zero1.reg", "dns1.reg", "service.reg", "lanman.reg"}, true));
}

TEST_F(CliBoostProgramTest, ReadRegPrintsWhatTheProgramReads) {
    const std::pair<QStringList, QString> cases[] = {
        {{"read-reg", "hkcu", "Volatile Environment", "HOMEPATH"}, "\\Users\\ann\n"},
        {{"read-reg", "HKEY_CURRENT_USER", "volatile environment", "homepath"}, "\\Users\\ann\n"},
        {{"read-reg", "HKCU", "Volatile Environment", "NOSUCHVALUE"}, "Not Found\n"},
        {{"read-reg", "HKLM", "SOFTWARE\\Nowhere\\"}, "Not Found\n"},
    };
    for (const auto& [args, printed] : cases) {
        const CliRun run = RunCli(args, env);
        EXPECT_EQ(run.status, 0);
        EXPECT_EQ(run.out, printed) << args.join(' ').toStdString();
    }
}

}  // namespace
}  // namespace brisko::test
