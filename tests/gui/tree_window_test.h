// The folder trees, checks, counts, destination folder and control states,
// driven through the real window as a user drives them.
#pragma once

#include <QObject>

class TreeWindowTest : public QObject {
  Q_OBJECT
 private slots:
  void theFolderExampleListsSubFoldersFirstAndChecksVersionTwo();
  void emptyFoldersAndADirectoryNamedLikeADatabaseAreFolderNodes();
  void aRootWithATrailingSeparatorKeysItsChildrenWithOneSeparator();
  void userChecksChangeTheCountAndAReloadRestoresTheAutoChecks();
  void checkingAFolderNodeNamedMdbCountsItAndChecksNoChildren();
  void loadingTheDestinationTreeLeavesTheCountLabel();
  void aTreeLoadCanBeStoppedBetweenFilesAndRestoresTheCursor();
  void anEngineOfVersionTwoOrThreeLowersAndDisablesTheVersionButtons();
  void anEngineOfAnotherVersionLeavesTheVersionButtons();
  void theDestinationFollowsModeAndVersionAndIsDisabledInSaveAs();
  void exportWithNoVersionSelectedDerivesXXX();
  void choosingAFolderMakesItAndReloadsOnlyThatTree();
  void cancellingTheFolderChooserChangesNothing();
  void clickingADatabaseListsItsPlainTables();
  void clickingAFolderNodeSaysItIsNoDatabase();
  void clickingAFolderNamedMdbReportsTheErrorAndLeavesTheListEmpty();
  void theTreeViewBoxAndTheFileListOnlyRefreshTheControls();
  void aCheckByKeyboardIsAUserToggleAndTheNextClickStillLists();
  void browseForFolderStartsAtTheCurrentDirectoryForAnEmptyFolder();
};
