// Prints each table of a database as mdb-reader reads it, one line per row:
//   table <name> <rowCount>
//   columns <name>:<type> ...
//   row <value>\t<value>...    (JSON values; binary as hex, dates as ISO text)
// With --system the system tables are included.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const db = new MDBReader(readFileSync(process.argv[2]));
const names = db.getTableNames({ normalTables: true, systemTables: process.argv[3] === "--system" });
const lines = [];
for (const name of names) {
  const t = db.getTable(name);
  const columns = t.getColumns();
  lines.push(`table ${name} ${t.rowCount}`);
  lines.push("columns " + columns.map((c) => `${c.name}:${c.type}`).join(" "));
  for (const r of t.getData()) {
    const values = columns.map((c) => {
      const v = r[c.name];
      if (v === null || v === undefined) return "null";
      if (v instanceof Date) return JSON.stringify(v.toISOString());
      if (Buffer.isBuffer(v)) return JSON.stringify(v.toString("hex"));
      return JSON.stringify(v);
    });
    lines.push("row " + values.join("\t"));
  }
}
console.log(lines.join("\n"));
