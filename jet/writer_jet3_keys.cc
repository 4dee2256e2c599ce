// General 97, the text order of Jet 3 files (LCID 1033): one entry per byte
// of code page 1252. Facts from the table published in the Jackcess project
// (see NOTICE); "S" entries give the inline key bytes, "I" entries an inline
// part and an accent code, "X" nothing.
#include <array>
#include <string_view>

#include "jet/error.h"
#include "jet/text.h"
#include "jet/writer_jet3.h"

namespace jet {
namespace {

constexpr std::array<std::string_view, 256> kGeneral97 = {
    "X",      "S10",    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",
    "S10",    "S11",    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",
    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",
    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",    "S10",
    "S11",    "S12",    "S13",    "S14",    "S15",    "S16",    "S17",    "S18",
    "S19",    "S1A",    "S1B",    "S1C",    "S1D",    "S1E",    "S1F",    "S20",
    "S56",    "S57",    "S58",    "S59",    "S5A",    "S5B",    "S5C",    "S5D",
    "S5E",    "S5F",    "S21",    "S22",    "S23",    "S24",    "S25",    "S26",
    "S27",    "S60",    "S61",    "S62",    "S64",    "S66",    "S67",    "S68",
    "S69",    "S6A",    "S6B",    "S6C",    "S6D",    "S6F",    "S70",    "S72",
    "S73",    "S74",    "S75",    "S76",    "S77",    "S78",    "S7A",    "S7B",
    "S7C",    "S7D",    "S7E",    "S28",    "S29",    "S2A",    "S2B",    "S2C",
    "S2D",    "S60",    "S61",    "S62",    "S64",    "S66",    "S67",    "S68",
    "S69",    "S6A",    "S6B",    "S6C",    "S6D",    "S6F",    "S70",    "S72",
    "S73",    "S74",    "S75",    "S76",    "S77",    "S78",    "S7A",    "S7B",
    "S7C",    "S7D",    "S7E",    "S2E",    "S2F",    "S30",    "S31",    "S10",
    "S10",    "S10",    "S18",    "S32",    "S13",    "S33",    "S34",    "S35",
    "S36",    "S37",    "I76,A0", "S18",    "S7266",  "S10",    "S10",    "S10",
    "S10",    "S18",    "S18",    "S13",    "S13",    "S38",    "S1E",    "S1E",
    "S39",    "S3A",    "I76,A0", "S18",    "S7266",  "S10",    "S10",    "I7D,60",
    "S11",    "S3B",    "S3C",    "S3D",    "S3E",    "S3F",    "S40",    "S41",
    "S42",    "S43",    "S44",    "S13",    "S45",    "S1E",    "S46",    "S47",
    "S48",    "S49",    "S58",    "S59",    "S4A",    "S4B",    "S4C",    "S4D",
    "S4E",    "S57",    "S4F",    "S13",    "S50",    "S51",    "S52",    "S53",
    "I60,30", "I60,40", "I60,50", "I60,70", "I60,60", "I60,80", "S6066",  "I62,90",
    "I66,30", "I66,40", "I66,50", "I66,60", "I6A,30", "I6A,40", "I6A,50", "I6A,60",
    "S65",    "I70,70", "I72,30", "I72,40", "I72,50", "I72,70", "I72,60", "S54",
    "S81",    "I78,30", "I78,40", "I78,50", "I78,60", "I7D,40", "S7F",    "S7676",
    "I60,30", "I60,40", "I60,50", "I60,70", "I60,60", "I60,80", "S6066",  "I62,90",
    "I66,30", "I66,40", "I66,50", "I66,60", "I6A,30", "I6A,40", "I6A,50", "I6A,60",
    "S65",    "I70,70", "I72,30", "I72,40", "I72,50", "I72,70", "I72,60", "S55",
    "S81",    "I78,30", "I78,40", "I78,50", "I78,60", "I7D,40", "S7F",    "I7D,60",
};

int hexDigit(char c) { return c <= '9' ? c - '0' : c - 'A' + 10; }

void appendHex(ByteBuffer& key, std::string_view hex) {
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    key.push_back(static_cast<std::uint8_t>(hexDigit(hex[i]) * 16 + hexDigit(hex[i + 1])));
  }
}

}  // namespace

void appendGeneral97TextKey(ByteBuffer& key, const std::string& utf8, std::uint16_t codePage,
                            bool ascending, const std::string& what) {
  if (codePage != 1252) {
    throw unsupported(what, "Jet 3 text keys can only be written for code page 1252, not " +
                                std::to_string(codePage));
  }
  const ByteBuffer bytes = encodeJet3Text(utf8, codePage, what);
  std::size_t n = std::min<std::size_t>(bytes.size(), 255);
  while (n > 0 && bytes[n - 1] == ' ') --n;
  const std::size_t from = key.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::string_view e = kGeneral97[bytes[i]];
    if (e[0] == 'X') continue;
    if (e[0] == 'I') {
      // Accented letters add a nibble stream of accent codes whose exact
      // placement no corpus key has confirmed yet.
      throw unsupported(what, "an indexed text holds an accented letter, whose Jet 3 key cannot be written yet");
    }
    appendHex(key, e.substr(1));
  }
  key.push_back(0x00);
  if (!ascending) {
    for (std::size_t i = from; i < key.size(); ++i) key[i] = static_cast<std::uint8_t>(~key[i]);
  }
}

}  // namespace jet
