#include "settings_test.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include "common/ini_file.h"
#include "common/settings.h"
#include "recording_notifier.h"

namespace {

struct Fixture {
  QTemporaryDir dir;
  RecordingNotifier boxes;
  Settings s{boxes, dir.path()};

  QString file() const { return dir.path() + "/jetlift.ini"; }
  void write(const QByteArray& bytes) const {
    QFile f(file());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
  }
  QByteArray bytes() const {
    QFile f(file());
    if (!f.open(QIODevice::ReadOnly)) return {};
    return f.readAll();
  }
  QString get(const QString& key, const QString& def = "DEFAULT") {
    return s.GetSetting("general", key, def);
  }
};

}  // namespace

void SettingsTest::noFileGivesTheDefaults() {
  Fixture f;
  QCOMPARE(f.get("Source", "/home/u/Orvak"), QString("/home/u/Orvak"));
  QCOMPARE(f.get("Method", "1"), QString("1"));
  QCOMPARE(f.get("Jet", "null"), QString(""));  // a default of "null" reads as empty too
  QVERIFY(!QFile::exists(f.file()));
  QVERIFY(f.boxes.boxes.empty());
}

void SettingsTest::theFileLiesInTheGivenFolder() {
  Fixture f;
  f.get("Source");
  QCOMPARE(f.s.iniFile(), f.dir.path() + "/jetlift.ini");
}

void SettingsTest::savingIntoNoFileWritesTheSectionAndTheKeys() {
  Fixture f;
  f.get("Source");
  f.s.SaveSetting("general", "Source", "/home/u/Orvak");
  f.s.SaveSetting("general", "Destination", "/home/u/Orvak/mdb_v30");
  f.s.SaveSetting("general", "Method", "1");
  f.s.SaveSetting("general", "Jet", "3");
  QCOMPARE(f.bytes(), QByteArray("[general]\r\nSource=/home/u/Orvak\r\n"
                                 "Destination=/home/u/Orvak/mdb_v30\r\nMethod=1\r\nJet=3\r\n"));
  QCOMPARE(f.get("Destination"), QString("/home/u/Orvak/mdb_v30"));
  QVERIFY(f.boxes.boxes.empty());
}

void SettingsTest::nullInAnyLetterCaseReadsAsEmpty() {
  Fixture f;
  f.write("[general]\nSource=null\nDestination=NULL\nMethod=Null\nJet = nUlL \nOther=nullx\n");
  for (const char* key : {"Source", "Destination", "Method", "Jet"}) {
    QCOMPARE(f.get(key), QString(""));
  }
  QCOMPARE(f.get("Other"), QString("nullx"));
}

void SettingsTest::anEmptyValueIsStoredAsNullAndReadBackEmpty() {
  Fixture f;
  f.get("Source");
  f.s.SaveSetting("general", "Source", "");
  QCOMPARE(f.bytes(), QByteArray("[general]\r\nSource=null\r\n"));
  QCOMPARE(f.get("Source", "/home/u/Orvak"), QString(""));
}

void SettingsTest::aKeyWithAnEmptyValueReadsEmptyNotTheDefault() {
  Fixture f;
  f.write("[general]\r\nSource=\r\nDestination =   \r\n");
  QCOMPARE(f.get("Source"), QString(""));
  QCOMPARE(f.get("Destination"), QString(""));
  QCOMPARE(f.get("Method"), QString("DEFAULT"));
}

void SettingsTest::atMost126CharactersAreReadBack() {
  Fixture f;
  const QString path = "/" + QString(129, 'a');
  QCOMPARE(path.size(), 130);
  f.get("Source");
  f.s.SaveSetting("general", "Source", path);
  QVERIFY(f.bytes().contains(path.toLatin1()));  // stored whole
  QCOMPARE(f.get("Source"), path.left(126));
  QCOMPARE(f.get("Missing", path), path.left(126));  // defaults are cut the same way
  const QString exact = QString(126, 'b');
  f.s.SaveSetting("general", "Source", exact);
  QCOMPARE(f.get("Source"), exact);
}

void SettingsTest::namesMatchWithoutRegardToCaseAndKeysAreReplacedInPlace() {
  Fixture f;
  f.write("[GENERAL]\r\nSOURCE=/old\r\nJet=2\r\n");
  QCOMPARE(f.get("Source"), QString("/old"));
  QCOMPARE(f.s.GetSetting("General", "jet", "x"), QString("2"));
  f.s.SaveSetting("general", "Source", "/new");
  QCOMPARE(f.bytes(), QByteArray("[GENERAL]\r\nSOURCE=/new\r\nJet=2\r\n"));
}

void SettingsTest::valuesAreReadTrimmed() {
  Fixture f;
  f.write("  [ general ]  \n  Source  =   /a b   \n\tJet\t=\t4\t\n");
  QCOMPARE(f.get("Source"), QString("/a b"));
  QCOMPARE(f.get("Jet"), QString("4"));
}

void SettingsTest::lineBreaksAndEqualsInAValueCannotMakeNewKeys() {
  Fixture f;
  f.get("Source");
  f.s.SaveSetting("general", "Jet", "3");
  const QString nasty = "/data/x\r\nJet=4\n[other]\rkey=1 a=b %41 100% ";
  f.s.SaveSetting("general", "Source", nasty);
  f.s.SaveSetting("general", "Destination", " /lead and trail ");
  QCOMPARE(f.get("Source"), nasty);
  QCOMPARE(f.get("Destination"), QString(" /lead and trail "));
  QCOMPARE(f.get("Jet"), QString("3"));
  QCOMPARE(f.s.GetSetting("other", "key", "none"), QString("none"));
  const QList<QByteArray> lines = f.bytes().split('\n');
  QCOMPARE(lines.size(), 5);  // [general], Jet, Source, Destination, and "" after the last LF
  for (const QByteArray& line : lines.mid(1, 3)) QCOMPARE(line.count('='), 1);
}

void SettingsTest::handWrittenValuesReadAsTheyStand() {
  Fixture f;
  f.write("[general]\nSource=C:\\Orvak\\data\nDestination=/a/100%/b%zz\n");
  QCOMPARE(f.get("Source"), QString("C:\\Orvak\\data"));
  QCOMPARE(f.get("Destination"), QString("/a/100%/b%zz"));
}

void SettingsTest::otherSectionsKeysAndLinesAreKept() {
  Fixture f;
  f.write(
      "; written by hand\r\n[window]\r\nwidth=800\r\n\r\n[general]\r\nColour=blue\r\n"
      "Source=/old\r\n\r\n[later]\r\nx=1\r\n");
  f.get("Source");
  f.s.SaveSetting("general", "Source", "/new");
  f.s.SaveSetting("general", "Jet", "4");
  QCOMPARE(f.bytes(), QByteArray("; written by hand\r\n[window]\r\nwidth=800\r\n\r\n[general]\r\n"
                                 "Colour=blue\r\nSource=/new\r\nJet=4\r\n\r\n[later]\r\nx=1\r\n"));
}

void SettingsTest::aGarbageFileGivesTheDefaults() {
  Fixture f;
  QByteArray junk;
  auto* rng = QRandomGenerator::global();
  for (int i = 0; i < 65536; ++i) junk += static_cast<char>(rng->bounded(256));
  for (const QByteArray& bytes :
       {junk, QByteArray("\xff\xfe\x00[\x00g\x00", 7), QByteArray("[general"),
        QByteArray("Source=/before/any/section\n"), QByteArray(1000, '\n'),
        QByteArray(10000, '[') + "]", QByteArray("=\n[\n]\n=="), QByteArray(200000, '=')}) {
    f.write(bytes);
    QCOMPARE(f.get("Source", "/home/u/Orvak"), QString("/home/u/Orvak"));
    QCOMPARE(f.get("Jet", "3"), QString("3"));
  }
  QVERIFY(QFile::remove(f.file()));
  QVERIFY(QDir().mkpath(f.file()));  // a folder where the file should be
  QCOMPARE(f.get("Source", "/home/u/Orvak"), QString("/home/u/Orvak"));
  QVERIFY(f.boxes.boxes.empty());
}

void SettingsTest::aGarbageFileCanStillBeWritten() {
  Fixture f;
  f.write(QByteArray("\x01\x02 binary \x00 stuff", 18));
  f.get("Source");
  f.s.SaveSetting("general", "Source", "/new");
  QCOMPARE(f.get("Source"), QString("/new"));
  QVERIFY(f.boxes.boxes.empty());
}

void SettingsTest::anOversizedFileIsNeitherReadNorOverwritten() {
  Fixture f;
  const QByteArray big = "[general]\r\nSource=/big\r\n" + QByteArray(2 << 20, ';');
  f.write(big);
  QCOMPARE(f.get("Source"), QString("DEFAULT"));
  f.s.SaveSetting("general", "Source", "/new");
  QCOMPARE(f.boxes.texts(), QStringList({"Cannot save INI file"}));
  QCOMPARE(f.bytes(), big);
}

void SettingsTest::anUnwritableFolderSaysCannotSaveOncePerKey() {
  QTemporaryDir dir;
  QFile blocker(dir.path() + "/file");
  QVERIFY(blocker.open(QIODevice::WriteOnly));
  blocker.close();
  RecordingNotifier boxes;
  Settings s(boxes, dir.path() + "/file");  // a folder below a file: not even root can write it
  QCOMPARE(s.GetSetting("general", "Source", "/d"), QString("/d"));
  for (const char* key : {"Source", "Destination", "Method", "Jet"}) {
    s.SaveSetting("general", key, "v");
  }
  QCOMPARE(boxes.texts(), QStringList(4, "Cannot save INI file"));
  for (const auto& b : boxes.boxes) QCOMPARE(b.title, QString("Jetlift"));
}

void SettingsTest::theFileIsReplacedWholeThroughARename() {
  Fixture f;
  f.write("[general]\r\nSource=/old\r\n");
  struct stat before {};
  QCOMPARE(::stat(QFile::encodeName(f.file()).constData(), &before), 0);
  f.get("Source");
  f.s.SaveSetting("general", "Source", "/new");
  struct stat after {};
  QCOMPARE(::stat(QFile::encodeName(f.file()).constData(), &after), 0);
  QVERIFY(before.st_ino != after.st_ino);  // a new file took the old one's name
  QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList({"jetlift.ini"}));
}
