// Properties survive a compaction to Jet 3.0: Jet 3 keeps them in the older
// "KKD" blob with code-page text, and a blob written the Jet 4 way was read
// back by our reader as garbled names ("C r a z e   N a m e ").
#include <gtest/gtest.h>

#include <map>

#include "jet/compactor.h"
#include "jet/database.h"
#include "tests/corpus.h"
#include "tests/jet/writer_support.h"

namespace {

using namespace jet;

// Every non-empty property map of every object, keyed by object and map name.
std::map<std::string, std::vector<Property>> propertiesOf(const Database& db) {
  std::map<std::string, std::vector<Property>> out;
  for (const CatalogEntry& e : db.objects()) {
    for (const PropertyMap& m : db.properties(e)) {
      if (!m.properties.empty()) out[e.name + " / " + m.name] = m.properties;
    }
  }
  return out;
}

class PropertiesToJet3 : public ::testing::TestWithParam<const char*> {};

TEST_P(PropertiesToJet3, EveryObjectKeepsItsPropertiesWithTheirNamesAndValues) {
  writer_test::Scratch scratch;
  const std::string source = corpus::path(GetParam());
  const std::string result = scratch.file("result.mdb");
  compactDatabase(source, result, 32);

  const auto before = Database::open(source);
  const auto after = Database::open(result);
  const auto expected = propertiesOf(*before);
  const auto actual = propertiesOf(*after);
  ASSERT_FALSE(expected.empty()) << "the source should hold properties";
  for (const auto& [where, props] : expected) {
    const auto it = actual.find(where);
    ASSERT_NE(it, actual.end()) << where << " lost its properties";
    ASSERT_EQ(it->second.size(), props.size()) << where;
    for (std::size_t i = 0; i < props.size(); ++i) {
      EXPECT_EQ(it->second[i].name, props[i].name) << where;
      EXPECT_EQ(it->second[i].type, props[i].type) << where << " / " << props[i].name;
      EXPECT_TRUE(it->second[i].value == props[i].value) << where << " / " << props[i].name;
    }
  }
  EXPECT_EQ(actual.size(), expected.size());
}

INSTANTIATE_TEST_SUITE_P(Corpus, PropertiesToJet3,
                         ::testing::Values("jet2-crystalreports-craze-sample.mdb",
                                           "jet4-jackcess-test-access2003.mdb",
                                           "jet3-jackcess-test-access97.mdb"));

}  // namespace
