// Prints every table of each database given, as mdb-reader reads it, as JSON:
// {"tables": {"name": {"columns": [{"name","type"}], "rows": [[...]]}}}.
// Binary values as hex; dates as ISO text.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const file = process.argv[2];
const db = new MDBReader(readFileSync(file));
const out = { tables: {} };
const names = db.getTableNames({ normalTables: true, systemTables: process.argv[3] === "--system" });
for (const name of names) {
  const t = db.getTable(name);
  const columns = t.getColumns().map((c) => ({ name: c.name, type: c.type }));
  const rows = t.getData().map((r) =>
    columns.map((c) => {
      const v = r[c.name];
      if (v === null || v === undefined) return null;
      if (v instanceof Date) return v.toISOString();
      if (Buffer.isBuffer(v)) return v.toString("hex");
      return v;
    }));
  out.tables[name] = { columns, rows, rowCount: t.rowCount };
}
console.log(JSON.stringify(out));
