// Relationships, queries and properties (pending).
#include "jet/database.h"
#include "jet/error.h"

namespace jet {

std::vector<Relationship> Database::relationships() const { return {}; }
std::vector<Query> Database::queries() const { return {}; }
std::vector<PropertyMap> Database::properties(const CatalogEntry&) const { return {}; }
std::vector<PropertyMap> Database::databaseProperties() const { return {}; }
std::string Query::sql() const { return {}; }

}  // namespace jet
