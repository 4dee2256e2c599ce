// The "Upgrade" button through the real window: the question, the run over the
// checked nodes, the files it leaves, the reloads, the count, and the progress.
#pragma once

#include <QObject>

class UpgradeWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void theQuestionNamesCountAndDestinationInBothModes();
  void nothingCheckedOnlySaysSelectMdbFiles();
  void cancelAtTheQuestionChangesNothing();
  void threeFilesOneCurrentOneFailingGiveOneUpgraded();
  void theNameTestPassesCapitalsAndNamesWithoutADotButNotBackups();
  void saveAsKeepsTheOriginalUnderAFreeBackupName();
  void exportReplacesAnExistingFileOnlyWhenComplete();
  void foldersWithPointsAreMadeLikeAnyOther();
  void aCheckedFolderNodeNamedMdbIsHandedOnAndFails();
  void aFailingCompactionInSaveAsLeavesTheSourceByteIdentical();
  void stoppingTheRunKeepsWhatIsDoneAndReloadsTheTrees();
  void theProgressDialogShowsTheFileAndItsCancelStopsTheRun();
};
