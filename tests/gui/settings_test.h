// The settings file: profile-file semantics and the program's own rules on top.
#pragma once

#include <QObject>

class SettingsTest : public QObject {
  Q_OBJECT
 private slots:
  void noFileGivesTheDefaults();
  void theFileLiesInTheGivenFolder();
  void savingIntoNoFileWritesTheSectionAndTheKeys();
  void nullInAnyLetterCaseReadsAsEmpty();
  void anEmptyValueIsStoredAsNullAndReadBackEmpty();
  void aKeyWithAnEmptyValueReadsEmptyNotTheDefault();
  void atMost126CharactersAreReadBack();
  void namesMatchWithoutRegardToCaseAndKeysAreReplacedInPlace();
  void valuesAreReadTrimmed();
  void lineBreaksAndEqualsInAValueCannotMakeNewKeys();
  void handWrittenValuesReadAsTheyStand();
  void otherSectionsKeysAndLinesAreKept();
  void aGarbageFileGivesTheDefaults();
  void aGarbageFileCanStillBeWritten();
  void anOversizedFileIsNeitherReadNorOverwritten();
  void anUnwritableFolderSaysCannotSaveOncePerKey();
  void theFileIsReplacedWholeThroughARename();
};
