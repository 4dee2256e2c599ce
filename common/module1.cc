#include "common/module1.h"

#include <QDir>
#include <cmath>

#include "common/diagnostics.h"
#include "common/option_group.h"

QString AddBackslash(const QString& path) {
  const QChar sep = QDir::separator();
  if (path.endsWith(sep)) return path;
  return path + sep;
}

QString StripNull(const QString& text) {
  const qsizetype nul = text.indexOf(QChar(u'\0'));
  return nul < 0 ? text : text.left(nul);
}

double LeadingNumber(const QString& text) {
  qsizetype i = 0;
  const qsizetype n = text.size();
  auto digitAt = [&](qsizetype k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
  while (i < n && (text[i] == ' ' || text[i] == '\t')) ++i;
  const qsizetype start = i;
  if (i < n && (text[i] == '+' || text[i] == '-')) ++i;
  const qsizetype intStart = i;
  while (digitAt(i)) ++i;
  bool digits = i > intStart;
  if (i < n && text[i] == '.') {
    const qsizetype fracStart = ++i;
    while (digitAt(i)) ++i;
    digits = digits || i > fracStart;
  }
  if (!digits) return 0;
  qsizetype end = i;
  if (i < n && (text[i] == 'e' || text[i] == 'E' || text[i] == 'd' || text[i] == 'D')) {
    qsizetype k = i + 1;
    if (k < n && (text[k] == '+' || text[k] == '-')) ++k;
    if (digitAt(k)) {
      while (digitAt(k)) ++k;
      end = k;
    }
  }
  QString number = text.mid(start, end - start);
  number.replace('d', 'e').replace('D', 'e');
  bool ok = false;
  const double value = number.toDouble(&ok);
  return ok ? value : 0;  // an exponent too large reads as no usable number
}

double RoundHalfEven(double value) {
  const double below = std::floor(value);
  const double rest = value - below;
  if (rest > 0.5) return below + 1;
  if (rest < 0.5) return below;
  return std::fmod(below, 2.0) == 0 ? below : below + 1;
}

namespace {

// A failure inside a module procedure goes to ModuleError; true there means go on
// with the next button (never the same step again, so a lasting fault cannot loop).
bool reportAndGoOn(const OptionGroup& group, const QString& context, const CurrentError& error) {
  if (group.reporter() == nullptr) throw RuntimeError(error.number, error.description);
  return ModuleError(*group.reporter(), context, error);
}

template <class Step>
bool guardedStep(const OptionGroup& group, const QString& context, Step&& step) {
  try {
    step();
    return true;
  } catch (const RuntimeError& e) {
    return reportAndGoOn(group, context, currentErrorOf(e));
  } catch (const std::exception& e) {
    return reportAndGoOn(group, context, currentErrorOf(e));
  }
}

QRadioButton* present(QRadioButton* button) {
  if (button == nullptr) throw RuntimeError(91, "Object variable or With block variable not set");
  return button;
}

}  // namespace

int Option_Value(const OptionGroup& group) {
  for (const auto& [index, button] : group.items()) {
    bool selected = false;
    if (!guardedStep(group, "Option_Value", [&] { selected = present(button)->isChecked(); })) {
      return 0;
    }
    if (selected) return index;
  }
  return 0;
}

void Set_Option(OptionGroup& group, const QString& value) {
  const double wanted = RoundHalfEven(LeadingNumber(value));
  for (const auto& [index, button] : group.items()) {
    if (static_cast<double>(index) != wanted) continue;
    if (!guardedStep(group, "Set_Option", [&] { group.select(index, present(button)); })) return;
  }
}
