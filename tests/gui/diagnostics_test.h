// Diagnostics: trace, log, output and the error reports.
#pragma once

#include <QObject>

class DiagnosticsTest : public QObject {
  Q_OBJECT
 private slots:
  void theFilesLieInTheGivenFolderUnderTheirNames();
  void anUnwritableExecutableFolderFallsBackToTheConfigFolder();
  void aTraceLineIsTimeColonMessageCrLf();
  void tracingOffWritesNoFileButKeepsTheHistory();
  void aLogLineIsHourMinuteDayMonthYearCommaMessage();
  void aMultiLineMessageIsWrittenUnchanged();
  void theHistoryGrowsAtTheEleventhMessage();
  void aReportNamesErrorProcedureNumberAndEngineErrors();
  void aNegativeErrorNumberKeepsItsSign();
  void theReportGoesToTheTraceFileWhenTracing();
  void aReportWithNoErrorShowsAnEmptyMessage();
  void engineErrorsAloneMakeTheMessage();
  void twoReportsInARowDumpOnlyWhatCameBetween();
  void fortyThousandMessagesBetweenReportsAreNoLimit();
  void anUnwritableTraceFileGivesOneReportNotALoop();
  void aFullHistoryGivesOneReportAndTheLogGetsEverything();
  void anUnwritableLogShowsTheReportsOwnFailure();
  void aFailingLogMessageIsReportedOnce();
  void aMissingFolderIsPathNotFound();
  void theModuleReportShowsContextAndDescriptionAndGoesBackIn();
  void outputGoesToTheSinkOneItemEach();
  void resetStartsAFreshHistory();
};
