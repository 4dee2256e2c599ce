#include "jet/format.h"

namespace jet {

std::string versionText(JetVersion version) {
  switch (version) {
    case JetVersion::Jet1_0: return "1.0";
    case JetVersion::Jet1_1: return "1.1";
    case JetVersion::Jet2: return "2.0";
    case JetVersion::Jet3: return "3.0";
    case JetVersion::Jet4: return "4.0";
  }
  return "?";
}

}  // namespace jet
