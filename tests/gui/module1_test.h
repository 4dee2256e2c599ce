// The shared helpers: paths, NUL-ended buffers, and the option-group procedures.
#pragma once

#include <QObject>

class Module1Test : public QObject {
  Q_OBJECT
 private slots:
  void addBackslashAppendsTheSeparatorOnce();
  void stripNullCutsAtTheFirstNul();
  void theLeadingNumericPartIsTheNumber();
  void halvesRoundToTheEvenNeighbour();
  void optionValueIsTheFirstSelectedIndexOrZero();
  void setOptionRoundsHalvesToEven();
  void setOptionReadsTheLeadingNumericPart();
  void aTextWithoutANumberCountsAsZero();
  void noMatchLeavesTheGroupAsItWas();
  void aNewlySelectedButtonRunsItsClickOnce();
  void theUsersClickRunsTheClickOnceAndOnlyWhenNew();
  void aFailingClickIsReportedAndTheRestStillRuns();
};
