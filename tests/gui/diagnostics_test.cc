// Diagnostics: what reaches the trace and log files, byte for byte, and how the
// error reports behave when their own files fail.
#include "diagnostics_test.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

#include "common/data_folder.h"
#include "common/diagnostics.h"
#include "recording_notifier.h"

namespace {

const QDateTime kNow(QDate(2026, 12, 5), QTime(9, 41, 7));

QByteArray bytesOf(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return {};
  return f.readAll();
}

QByteArray crlf(const QStringList& lines) {
  QByteArray out;
  for (const QString& l : lines) out += l.toLocal8Bit() + "\r\n";
  return out;
}

// The date part of a log line as the system locale writes December.
QString logStamp() {
  return "09:41 05 " + QLocale::system().monthName(12, QLocale::ShortFormat) + " 2026";
}

struct Fixture {
  QTemporaryDir dir;
  RecordingNotifier boxes;
  bool traceOn = false;
  std::vector<CurrentError> engineErrors;
  QStringList output;
  Diagnostics d{boxes, dir.path()};

  Fixture() {
    d.setClock([] { return kNow; });
    d.setTraceSwitch([this] { return traceOn; });
    d.setEngineErrors([this] { return engineErrors; });
    d.setOutputSink([this](const QString& t) { output << t; });
  }
  QByteArray trace() const { return bytesOf(d.traceFilePath()); }
  QByteArray log() const { return bytesOf(d.logFilePath()); }
};

}  // namespace

void DiagnosticsTest::theFilesLieInTheGivenFolderUnderTheirNames() {
  Fixture f;
  QCOMPARE(f.d.traceFilePath(), f.dir.path() + "/jetlift_trace.txt");
  QCOMPARE(f.d.logFilePath(), f.dir.path() + "/jetlift.txt");
}

void DiagnosticsTest::anUnwritableExecutableFolderFallsBackToTheConfigFolder() {
  QTemporaryDir dir;
  const QString exe = dir.path() + "/bin";
  QVERIFY(QDir().mkpath(exe));
  QCOMPARE(chooseDataFolder(exe, dir.path() + "/config"), exe);
  // A folder that cannot exist (its parent is a file) cannot be written, not even by root.
  QFile blocker(dir.path() + "/file");
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  QCOMPARE(chooseDataFolder(dir.path() + "/file/bin", dir.path() + "/config"),
           dir.path() + "/config");
  QVERIFY(QFileInfo(dir.path() + "/config").isDir());
}

void DiagnosticsTest::aTraceLineIsTimeColonMessageCrLf() {
  Fixture f;
  f.traceOn = true;
  f.d.ClassTrace("UpgradeDatabase: /data/a.mdb");
  f.d.ClassTrace("--open: ");
  QCOMPARE(f.trace(), crlf({"09:41:07:UpgradeDatabase: /data/a.mdb", "09:41:07:--open: "}));
}

void DiagnosticsTest::tracingOffWritesNoFileButKeepsTheHistory() {
  Fixture f;
  f.d.ClassTrace("one");
  QVERIFY(!QFile::exists(f.d.traceFilePath()));
  QCOMPARE(f.d.TraceCount(), 1);
  QCOMPARE(f.d.TraceHistory()[1], QString("one"));
  f.traceOn = true;  // read at every call: the next message goes to the file
  f.d.ClassTrace("two");
  QCOMPARE(f.trace(), crlf({"09:41:07:two"}));
}

void DiagnosticsTest::aLogLineIsHourMinuteDayMonthYearCommaMessage() {
  Fixture f;
  f.d.LogMessage("upgraded /data/a.mdb");
  // "09:41" are hours and minutes, not the month (12).
  QCOMPARE(f.log(), crlf({logStamp() + ",upgraded /data/a.mdb"}));
  f.d.LogMessage("second");
  QCOMPARE(f.log(), crlf({logStamp() + ",upgraded /data/a.mdb", logStamp() + ",second"}));
  QVERIFY(f.boxes.boxes.empty());
}

void DiagnosticsTest::aMultiLineMessageIsWrittenUnchanged() {
  Fixture f;
  f.traceOn = true;
  f.d.ClassTrace("first\r\nsecond");
  f.d.LogMessage("log one\r\nlog two");
  QCOMPARE(f.trace(), QByteArray("09:41:07:first\r\nsecond\r\n"));
  QCOMPARE(f.log(), (logStamp() + ",log one\r\nlog two\r\n").toLocal8Bit());
}

void DiagnosticsTest::theHistoryGrowsAtTheEleventhMessage() {
  Fixture f;
  QCOMPARE(f.d.TraceUpperBound(), 10);
  QCOMPARE(f.d.TraceCount(), 0);
  for (int i = 1; i <= 10; ++i) f.d.ClassTrace(QString::number(i));
  QCOMPARE(f.d.TraceUpperBound(), 10);
  f.d.ClassTrace("11");
  QCOMPARE(f.d.TraceCount(), 11);
  QCOMPARE(f.d.TraceUpperBound(), 21);
  for (int i = 1; i <= 11; ++i) QCOMPARE(f.d.TraceHistory()[i], QString::number(i));
  QVERIFY(f.d.TraceHistory()[0].isEmpty());
}

void DiagnosticsTest::aReportNamesErrorProcedureNumberAndEngineErrors() {
  Fixture f;
  f.engineErrors = {{3049, "'/data/a.mdb' is damaged"}, {3051, "cannot open"}};
  f.d.ClassTrace("UpgradeDatabase: /data/a.mdb");
  const bool again = f.d.ClassError("UpgradeDatabase: /data/a.mdb", {3049, "damaged file"});
  QVERIFY(!again);
  const QString message =
      "damaged file\r\nUpgradeDatabase: /data/a.mdb\r\nError=3049"
      "\r\n'/data/a.mdb' is damaged [3049]\r\ncannot open [3051]";
  QCOMPARE(f.boxes.boxes.size(), std::size_t(1));
  QCOMPARE(f.boxes.boxes[0].title, QString("Jetlift"));
  QCOMPARE(f.boxes.boxes[0].text, message);
  QVERIFY(!f.boxes.boxes[0].question);
  QCOMPARE(f.log(), crlf({"Trace...", "UpgradeDatabase: /data/a.mdb", "Error:" + message}));
  QCOMPARE(f.d.TraceCount(), 0);
  QCOMPARE(f.d.TraceHistory()[2], "Error:" + message);  // kept, but never written again
}

void DiagnosticsTest::aNegativeErrorNumberKeepsItsSign() {
  Fixture f;
  f.d.ClassError("Load", {-2147217900, "odd"});
  QCOMPARE(f.boxes.texts(), QStringList({"odd\r\nLoad\r\nError=-2147217900"}));
}

void DiagnosticsTest::theReportGoesToTheTraceFileWhenTracing() {
  Fixture f;
  f.traceOn = true;
  f.d.ClassError("LoadTreeView", {76, "Path not found"});
  QCOMPARE(f.trace(), crlf({"09:41:07:Error:Path not found\r\nLoadTreeView\r\nError=76"}));
}

void DiagnosticsTest::aReportWithNoErrorShowsAnEmptyMessage() {
  Fixture f;
  f.d.ClassError("upgrade");
  QCOMPARE(f.boxes.texts(), QStringList({""}));
  QCOMPARE(f.d.TraceHistory()[1], QString("Error:"));
  QCOMPARE(f.log(), crlf({"Trace...", "Error:"}));
}

void DiagnosticsTest::engineErrorsAloneMakeTheMessage() {
  Fixture f;
  f.engineErrors = {{3024, "Could not find file"}};
  f.d.ClassError("upgrade");
  QCOMPARE(f.boxes.texts(), QStringList({"\r\nCould not find file [3024]"}));
}

void DiagnosticsTest::twoReportsInARowDumpOnlyWhatCameBetween() {
  Fixture f;
  f.d.ClassTrace("a");
  f.d.ClassTrace("b");
  f.d.ClassError("first", {5, "one"});
  f.d.ClassTrace("c");
  f.d.ClassError("second", {5, "two"});
  QCOMPARE(f.log(), crlf({"Trace...", "a", "b", "Error:one\r\nfirst\r\nError=5", "Trace...", "c",
                          "Error:two\r\nsecond\r\nError=5"}));
  QCOMPARE(f.d.TraceHistory()[1], QString("c"));
}

void DiagnosticsTest::fortyThousandMessagesBetweenReportsAreNoLimit() {
  Fixture f;
  const int n = 40000;  // past the 32767 of a 16-bit count
  for (int i = 1; i <= n; ++i) f.d.ClassTrace("m" + QString::number(i));
  QCOMPARE(f.d.TraceCount(), n);
  QVERIFY(f.d.TraceUpperBound() >= n);
  f.d.ClassError("upgrade", {5, "x"});
  const QList<QByteArray> lines = f.log().split('\n');
  // "Trace...", n messages, the record's three lines, and "" after the last LF.
  QCOMPARE(lines.size(), n + 5);
  QCOMPARE(lines[1], QByteArray("m1\r"));
  QCOMPARE(lines[n], QByteArray("m40000\r"));
  QCOMPARE(lines[n + 1], QByteArray("Error:x\r"));
  QCOMPARE(lines[n + 3], QByteArray("Error=5\r"));
  QCOMPARE(f.d.TraceCount(), 0);
  QCOMPARE(f.boxes.boxes.size(), std::size_t(1));
}

void DiagnosticsTest::anUnwritableTraceFileGivesOneReportNotALoop() {
  Fixture f;
  f.traceOn = true;
  QVERIFY(QDir().mkpath(f.d.traceFilePath()));  // a folder where the file should be
  f.d.ClassTrace("m");
  QCOMPARE(f.boxes.boxes.size(), std::size_t(1));
  const QString text = f.boxes.boxes[0].text;
  QVERIFY2(text.endsWith("\r\nClassTrace\r\nError=75"), qPrintable(text));
  QCOMPARE(f.log(), crlf({"Trace...", "m", "Error:" + text}));
  QCOMPARE(f.d.TraceCount(), 0);
  f.d.ClassTrace("n");  // still failing: once more one report, no more
  QCOMPARE(f.boxes.boxes.size(), std::size_t(2));
}

void DiagnosticsTest::aFullHistoryGivesOneReportAndTheLogGetsEverything() {
  Fixture f;
  f.d.setHistoryLimit(3);
  for (const char* m : {"1", "2", "3", "4"}) f.d.ClassTrace(m);
  QCOMPARE(f.boxes.boxes.size(), std::size_t(1));
  const QString text = f.boxes.boxes[0].text;
  QVERIFY2(text.endsWith("\r\nClassTrace\r\nError=6"), qPrintable(text));
  QCOMPARE(f.log(), crlf({"Trace...", "1", "2", "3", "Error:" + text}));
  QCOMPARE(f.d.TraceCount(), 0);
  f.d.ClassTrace("5");
  QCOMPARE(f.d.TraceHistory()[1], QString("5"));
}

void DiagnosticsTest::anUnwritableLogShowsTheReportsOwnFailure() {
  Fixture f;
  QVERIFY(QDir().mkpath(f.d.logFilePath()));
  f.d.ClassTrace("before");
  f.d.ClassError("upgrade", {5, "x"});
  QCOMPARE(f.boxes.boxes.size(), std::size_t(1));
  QVERIFY2(f.boxes.boxes[0].text.startsWith("ClassError:Path/File access error"),
           qPrintable(f.boxes.boxes[0].text));
  QCOMPARE(f.d.TraceCount(), 2);  // the record went in; the count is not reset
  QCOMPARE(f.d.TraceHistory()[2], QString("Error:x\r\nupgrade\r\nError=5"));
}

void DiagnosticsTest::aFailingLogMessageIsReportedOnce() {
  Fixture f;
  QVERIFY(QDir().mkpath(f.d.logFilePath()));
  f.d.LogMessage("m");
  QCOMPARE(f.boxes.boxes.size(), std::size_t(1));
  QVERIFY(f.boxes.boxes[0].text.startsWith("ClassError:"));
  QVERIFY(f.d.TraceHistory()[1].startsWith("Error:Path/File access error"));
  QVERIFY(f.d.TraceHistory()[1].contains("\r\nLogMessage\r\nError=75"));
}

void DiagnosticsTest::aMissingFolderIsPathNotFound() {
  QTemporaryDir dir;
  RecordingNotifier boxes;
  Diagnostics d(boxes, dir.path() + "/gone");
  d.setTraceSwitch([] { return true; });
  d.ClassTrace("m");
  QCOMPARE(boxes.boxes.size(), std::size_t(1));
  QVERIFY2(boxes.boxes[0].text.startsWith("ClassError:Path not found"),
           qPrintable(boxes.boxes[0].text));
}

void DiagnosticsTest::theModuleReportShowsContextAndDescriptionAndGoesBackIn() {
  RecordingNotifier boxes;
  QVERIFY(ModuleError(boxes, "Set_Option", {13, "Type mismatch"}));
  QCOMPARE(boxes.boxes.size(), std::size_t(1));
  QCOMPARE(boxes.boxes[0].title, QString("Jetlift"));
  QCOMPARE(boxes.boxes[0].text, QString("MMessages:Set_OptionType mismatch"));
  QVERIFY(!InDevelopmentEnvironment());
}

void DiagnosticsTest::outputGoesToTheSinkOneItemEach() {
  Fixture f;
  f.d.AddOutput("Tables of a.mdb");
  f.d.AddOutput("");
  QCOMPARE(f.output, QStringList({"Tables of a.mdb", ""}));
  QVERIFY(!QFile::exists(f.d.logFilePath()));
}

void DiagnosticsTest::resetStartsAFreshHistory() {
  Fixture f;
  for (int i = 0; i < 30; ++i) f.d.ClassTrace("x");
  f.d.ResetTrace();
  QCOMPARE(f.d.TraceCount(), 0);
  QCOMPARE(f.d.TraceUpperBound(), 10);
  QVERIFY(f.d.TraceHistory()[1].isEmpty());
}
