#include "module1_test.h"

#include <QRadioButton>
#include <QStyleOptionButton>
#include <QWidget>
#include <QtTest>
#include <memory>
#include <vector>

#include "common/module1.h"
#include "common/option_group.h"
#include "recording_notifier.h"

namespace {

// One frame of option buttons with the given indices, recording every click procedure run.
struct Frame {
  QWidget frame;
  OptionGroup group;
  std::vector<int> clicks;

  explicit Frame(std::initializer_list<int> indices) {
    int x = 0;
    for (int i : indices) {
      auto* b = new QRadioButton(QString::number(i), &frame);
      b->setGeometry(x, 0, 60, 20);
      x += 60;
      group.add(i, b);
    }
    group.setClickHandler([this](int i) { clicks.push_back(i); });
  }
  std::vector<int> selected() const {
    std::vector<int> out;
    for (const auto& [i, b] : group.items()) {
      if (b->isChecked()) out.push_back(i);
    }
    return out;
  }
};

// Clicks where the indicator is: a click in the middle of a wide button can miss it.
void clickIndicator(QRadioButton* b) {
  QStyleOptionButton o;
  o.initFrom(b);
  o.text = b->text();
  const QRect r = b->style()->subElementRect(QStyle::SE_RadioButtonIndicator, &o, b);
  QTest::mouseClick(b, Qt::LeftButton, {}, r.center());
}

}  // namespace

void Module1Test::addBackslashAppendsTheSeparatorOnce() {
  QCOMPARE(AddBackslash("/data/mdb"), QString("/data/mdb/"));
  QCOMPARE(AddBackslash("/data/mdb/"), QString("/data/mdb/"));
  QCOMPARE(AddBackslash(""), QString("/"));
  QCOMPARE(AddBackslash("/"), QString("/"));
}

void Module1Test::stripNullCutsAtTheFirstNul() {
  QCOMPARE(StripNull(QString("abc") + QChar(u'\0') + "def" + QChar(u'\0')), QString("abc"));
  QCOMPARE(StripNull("no nul"), QString("no nul"));
  QCOMPARE(StripNull(QString(QChar(u'\0'))), QString(""));
}

void Module1Test::theLeadingNumericPartIsTheNumber() {
  QCOMPARE(LeadingNumber("4abc"), 4.0);
  QCOMPARE(LeadingNumber("  3"), 3.0);
  QCOMPARE(LeadingNumber("-2x"), -2.0);
  QCOMPARE(LeadingNumber("+1"), 1.0);
  QCOMPARE(LeadingNumber("2.5"), 2.5);
  QCOMPARE(LeadingNumber(".5"), 0.5);
  QCOMPARE(LeadingNumber("1e1"), 10.0);
  QCOMPARE(LeadingNumber("3e"), 3.0);
  QCOMPARE(LeadingNumber("abc"), 0.0);
  QCOMPARE(LeadingNumber(""), 0.0);
  QCOMPARE(LeadingNumber("-"), 0.0);
  QCOMPARE(LeadingNumber("."), 0.0);
}

void Module1Test::halvesRoundToTheEvenNeighbour() {
  QCOMPARE(RoundHalfEven(2.5), 2.0);
  QCOMPARE(RoundHalfEven(3.5), 4.0);
  QCOMPARE(RoundHalfEven(0.5), 0.0);
  QCOMPARE(RoundHalfEven(-2.5), -2.0);
  QCOMPARE(RoundHalfEven(-3.5), -4.0);
  QCOMPARE(RoundHalfEven(2.49), 2.0);
  QCOMPARE(RoundHalfEven(2.51), 3.0);
}

void Module1Test::optionValueIsTheFirstSelectedIndexOrZero() {
  Frame jet{2, 3, 4};
  QCOMPARE(Option_Value(jet.group), 0);
  jet.group(4)->setChecked(true);
  QCOMPARE(Option_Value(jet.group), 4);
  Frame method{0, 1};
  method.group(1)->setChecked(true);
  QCOMPARE(Option_Value(method.group), 1);
}

void Module1Test::setOptionRoundsHalvesToEven() {
  Frame jet{2, 3, 4};
  Set_Option(jet.group, "2.5");
  QCOMPARE(jet.selected(), std::vector<int>{2});
  Set_Option(jet.group, "3.5");
  QCOMPARE(jet.selected(), std::vector<int>{4});
  Set_Option(jet.group, "3.4");
  QCOMPARE(jet.selected(), std::vector<int>{3});
}

void Module1Test::setOptionReadsTheLeadingNumericPart() {
  Frame jet{2, 3, 4};
  Set_Option(jet.group, "4abc");
  QCOMPARE(jet.selected(), std::vector<int>{4});
  Set_Option(jet.group, " 2 ");
  QCOMPARE(jet.selected(), std::vector<int>{2});
}

void Module1Test::aTextWithoutANumberCountsAsZero() {
  Frame method{0, 1};
  method.group(1)->setChecked(true);
  Set_Option(method.group, "Export");
  QCOMPARE(method.selected(), std::vector<int>{0});
  method.group(1)->setChecked(true);
  Set_Option(method.group, "");
  QCOMPARE(method.selected(), std::vector<int>{0});
}

void Module1Test::noMatchLeavesTheGroupAsItWas() {
  Frame jet{2, 3, 4};
  Set_Option(jet.group, "7");
  QCOMPARE(jet.selected(), std::vector<int>{});
  Set_Option(jet.group, "3");
  jet.clicks.clear();
  for (const char* v : {"0", "abc", "5", "-3", "1e300", "1.4", "5.5"}) Set_Option(jet.group, v);
  QCOMPARE(jet.selected(), std::vector<int>{3});
  QVERIFY(jet.clicks.empty());
}

void Module1Test::aNewlySelectedButtonRunsItsClickOnce() {
  Frame jet{2, 3, 4};
  Set_Option(jet.group, "3");
  QCOMPARE(jet.clicks, std::vector<int>{3});
  Set_Option(jet.group, "3");  // already selected: not a click
  QCOMPARE(jet.clicks, std::vector<int>{3});
  Set_Option(jet.group, "4");
  QCOMPARE(jet.clicks, (std::vector<int>{3, 4}));
  QCOMPARE(jet.selected(), std::vector<int>{4});
  // Other code checking a button counts as selecting it, once.
  jet.group(2)->setChecked(true);
  QCOMPARE(jet.clicks, (std::vector<int>{3, 4, 2}));
}

void Module1Test::theUsersClickRunsTheClickOnceAndOnlyWhenNew() {
  Frame method{0, 1};
  method.frame.show();
  QVERIFY(QTest::qWaitForWindowExposed(&method.frame));
  clickIndicator(method.group(1));
  QCOMPARE(method.selected(), std::vector<int>{1});
  QCOMPARE(method.clicks, std::vector<int>{1});
  clickIndicator(method.group(1));
  QCOMPARE(method.clicks, std::vector<int>{1});
  clickIndicator(method.group(0));
  QCOMPARE(method.clicks, (std::vector<int>{1, 0}));
}

void Module1Test::aFailingClickIsReportedAndTheRestStillRuns() {
  RecordingNotifier boxes;
  Frame jet{2, 3, 4};
  jet.group.setReporter(&boxes);
  jet.group.setClickHandler([](int) { throw std::runtime_error("handler failed"); });
  Set_Option(jet.group, "3");
  QCOMPARE(boxes.texts(), QStringList({"MMessages:Set_Optionhandler failed"}));
  QCOMPARE(jet.selected(), std::vector<int>{3});
}
