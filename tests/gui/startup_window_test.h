// Start-up, shut-down, the version box, find file and the layout, through the
// real window with its settings file in a folder of the test.
#pragma once

#include <QObject>

class StartupWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void withoutSettingsTheDefaultsAreUsedMadeAndSaved();
  void storedValuesOutsideTheButtonsSelectNothingNew();
  void anEmptyOrNonNumericMethodSelectsSaveAsAndLoadsOnlyTheSource();
  void theCaptionPadsTheRevisionAndTheVersionBoxDoesNot();
  void theThreeWaysOfClosingSaveTheSameKeys();
  void closingWithAnUnwritableSettingsFolderSaysSoForEveryKey();
  void findFileListsOneFileWithItsVersionChecked();
  void findFileListsSeveralInOrderAndAnUnderscoreLeavesUnchecked();
  void cancellingFindFileChangesNothing();
  void aDamagedFileAmongSeveralGivesTwoReportsAndStopsTheListing();
  void theFileMenuOpensTheDialogAndTheRealDialogReturnsTheFiles();
  void theLayoutAtDesignSizeIsTheWorkedExample();
  void theLayoutOfLargeAndSmallWindowsNeverGoesNegativeOrOverflows();
  void runningTheLayoutTwiceChangesNothing();
};
