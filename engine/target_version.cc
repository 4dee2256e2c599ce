#include "engine/target_version.h"

#include "engine/db_engine.h"

namespace engine {

long TargetJetCode(int optJetIndex) {
  switch (optJetIndex) {
    case 2: return kVersion20;
    case 3: return kVersion30;
    case 4: return kVersion40;
    default: return kVersionSame;
  }
}

QString TargetJetText(int optJetIndex) {
  switch (optJetIndex) {
    case 2: return "20";
    case 3: return "30";
    case 4: return "40";
    default: return "XXX";
  }
}

}  // namespace engine
