// Reads every row of one table with mdb-reader and prints the row count;
// the benchmark's stand-in for that reader's export.
// Usage: node mdb_reader_rows.mjs MDB_READER_DIR FILE TABLE
import { createRequire } from "node:module";
import { readFileSync } from "node:fs";
import path from "node:path";

const [dir, file, table] = process.argv.slice(2);
const MDBReader = createRequire(path.resolve(dir, "package.json"))("mdb-reader").default;
const rows = new MDBReader(readFileSync(file)).getTable(table).getData();
let cells = 0;
for (const r of rows) cells += Object.keys(r).length;
console.log(rows.length, cells);
