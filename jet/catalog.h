// The catalog of a Jet 3/4 file: the rows of MSysObjects (TDEF page 2) in
// table-scan order, with the few columns the library needs.
#pragma once

#include <vector>

#include "jet/page_file.h"
#include "jet/schema.h"

namespace jet {

std::vector<CatalogEntry> readJet34Catalog(const PageFile& file);

}  // namespace jet
