// Compares what jetlift-cli reads from every corpus file with two independent
// readers: mdbtools (mdb-tables, mdb-export) and the npm package mdb-reader.
// Tables must be listed alike; rows are compared as multisets, because the
// readers visit moved (overflow) rows in a different order. Where the two
// oracles disagree with each other, ours must match the one the format notes
// show to be right; every such case is listed in kKnown with its reason.
//
// Usage: node compare.mjs CLI CORPUS_DIR MDB_READER_DIR
import { execFileSync } from "node:child_process";
import { existsSync, readFileSync } from "node:fs";
import { createRequire } from "node:module";
import path from "node:path";

const [cli, corpus, readerDir] = process.argv.slice(2).map((p) => path.resolve(p));
const kSkip = 77;

// Cases where an oracle is wrong or fails, with the reason. `oracle` names the
// wrong one ("mdb-export", "mdb-reader", "both"); `table` "*" means every table.
// `ours` says which of our values the oracle gets wrong: a case applies only
// when every value of ours that the oracle lacks is one of those.
const kKnown = [
  { file: "*", table: "*", oracle: "mdb-export", column: "Text", ours: (v) => v === "",
    reason: "mdb-export prints a zero-length text value as NULL" },
  { file: "*", table: "*", oracle: "mdb-export", column: "Memo", ours: (v) => v === "",
    reason: "mdb-export prints a zero-length memo value as NULL" },
  { file: "*", table: "*", oracle: "mdb-reader", column: "DateTime", ours: (v) => v < "1899-12-30",
    reason: "dates before 1899-12-30 with a time of day: mdb-reader subtracts the fraction instead of adding its absolute value" },
  { file: "*", table: "*", oracle: "mdb-export", column: "DateTime",
    ours: (v) => v < "1900-01-01" || v >= "9999-01-01",
    reason: "mdb-export's date conversion fails before 1900-01-01 (prints 1900-01-00) and in the year 9999" },
];

// Our values of column c that the oracle's rows lack (multiset difference).
function missing(mine, rows, c) {
  const m = multiset(rows.map((r) => [r[c]]));
  const out = [];
  for (const r of mine) {
    const k = JSON.stringify([r[c]]);
    if (m.get(k)) m.set(k, m.get(k) - 1);
    else out.push(r[c]);
  }
  return out;
}

function known(file, table, oracle, column, mine, rows, c) {
  const lacking = missing(mine, rows, c);
  return kKnown.find((k) => (k.file === "*" || k.file === file) &&
    (k.table === "*" || k.table === table) && k.oracle === oracle && k.column === column &&
    lacking.length > 0 && lacking.every((v) => v !== kNull && k.ours(v)));
}

function run(cmd, args) {
  try {
    return { ok: true, out: execFileSync(cmd, args, { maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "pipe"] }).toString("utf8") };
  } catch (e) {
    return { ok: false, out: (e.stdout || "").toString(), err: (e.stderr || "").toString() };
  }
}

// RFC 4180-ish parser for mdb-export's output; quoted fields keep a marker so
// that "" (empty text) and an unquoted empty field (null) stay apart.
function parseCsv(text) {
  const rows = [];
  let row = [], field = "", quoted = false, inQuotes = false;
  for (let i = 0; i < text.length; ++i) {
    const c = text[i];
    if (inQuotes) {
      if (c === '"' && text[i + 1] === '"') { field += '"'; ++i; }
      else if (c === '"') inQuotes = false;
      else field += c;
    } else if (c === '"') { inQuotes = true; quoted = true; }
    else if (c === ",") { row.push(quoted ? { q: field } : field); field = ""; quoted = false; }
    else if (c === "\n") {
      row.push(quoted ? { q: field } : field); rows.push(row); row = []; field = ""; quoted = false;
    } else field += c;
  }
  if (field !== "" || row.length) { row.push(quoted ? { q: field } : field); rows.push(row); }
  return rows;
}

const kNull = "\u2205";

// Canonical forms. `loose` is what mdb-export can express (seconds, its float digits).
function canonOurs(type, v, loose) {
  if (v === null) return kNull;
  switch (type) {
    case "Boolean": return v ? "1" : "0";
    case "Single": return loose ? floatKey(v, 7) : String(Math.fround(v));
    case "Double": return loose ? floatKey(v, 15) : String(v);
    case "DateTime": return loose ? v.slice(0, 19) : v;
    case "Binary": case "OLE": return v.toLowerCase();
    case "Guid": return v.toUpperCase();
    case "Currency": case "Decimal": return numKey(v);
    default: return String(v);
  }
}

function floatKey(v, digits) {
  const n = Number(v);
  if (!Number.isFinite(n)) return String(n);
  return n === 0 ? "0" : n.toPrecision(digits).replace(/\.?0+(e|$)/, "$1");
}

function numKey(s) {
  let t = String(s).trim();
  const neg = t.startsWith("-");
  if (neg) t = t.slice(1);
  if (t.includes(".")) t = t.replace(/0+$/, "").replace(/\.$/, "");
  t = t.replace(/^0+(?=\d)/, "");
  return (neg && t !== "0" ? "-" : "") + t;
}

function canonExport(type, f) {
  if (typeof f === "string" && f === "@N@") return kNull;
  const s = typeof f === "object" ? f.q : f;
  switch (type) {
    case "Boolean": return s === "1" || s.toLowerCase() === "true" ? "1" : "0";
    case "Single": return floatKey(s, 7);
    case "Double": return floatKey(s, 15);
    case "DateTime": return s.slice(0, 19);
    case "Binary": case "OLE": return s.toLowerCase();
    case "Guid": return s.toUpperCase();
    case "Currency": case "Decimal": return numKey(s);
    default: return s;
  }
}

function isoOf(d) {
  const t = d.toISOString();  // YYYY-MM-DDTHH:MM:SS.fffZ
  const s = t.slice(0, 23);
  return s.endsWith(".000") ? s.slice(0, 19) : s;
}

function canonReader(type, v, loose) {
  if (v === null || v === undefined) return kNull;
  switch (type) {
    case "Boolean": return v ? "1" : "0";
    case "Single": return loose ? floatKey(v, 7) : String(Math.fround(v));
    case "Double": return loose ? floatKey(v, 15) : String(v);
    case "DateTime": return loose ? isoOf(v).slice(0, 19) : isoOf(v);
    case "Binary": case "OLE": return Buffer.from(v).toString("hex");
    case "Guid": return String(v).toUpperCase();
    case "Currency": case "Decimal": return numKey(v);
    default: return String(v);
  }
}

function multiset(rows) {
  const m = new Map();
  for (const r of rows) { const k = JSON.stringify(r); m.set(k, (m.get(k) || 0) + 1); }
  return m;
}
function sameMultiset(a, b) {
  if (a.length !== b.length) return false;
  const ma = multiset(a), mb = multiset(b);
  for (const [k, n] of ma) if (mb.get(k) !== n) return false;
  return true;
}
// The columns in which two row sets differ (compared column by column, as multisets).
// One value of column c that is in a and not in b (or the counts differ), for the report.
function example(a, b, c) {
  const mb = multiset(b.map((r) => [r[c]]));
  for (const r of a) {
    const k = JSON.stringify([r[c]]);
    if (!mb.get(k)) return JSON.stringify(r[c]).slice(0, 80);
    mb.set(k, mb.get(k) - 1);
  }
  return "(counts differ)";
}
function differingColumns(types, a, b) {
  const out = [];
  for (let c = 0; c < types.length; ++c) {
    if (!sameMultiset(a.map((r) => [r[c]]), b.map((r) => [r[c]]))) out.push(c);
  }
  return out;
}

function main() {
  let require;
  try {
    require = createRequire(path.join(readerDir, "package.json"));
    require.resolve("mdb-reader");
  } catch {
    console.log("SKIP: mdb-reader is not installed in " + readerDir);
    process.exit(kSkip);
  }
  if (!run("mdb-export", ["--version"]).ok) { console.log("SKIP: mdbtools missing"); process.exit(kSkip); }
  const MDBReader = require("mdb-reader").default;
  const manifest = readFileSync(path.join(corpus, "MANIFEST.tsv"), "utf8").trim().split("\n").slice(1)
    .map((l) => l.split("\t"));
  const stats = { files: 0, tables: 0, tablesAll: 0, rows: 0, valuesAll: 0, disagreements: [], failures: [] };
  for (const cells of manifest) {
    const [name, , version] = cells;
    if (version !== "jet3" && version !== "jet4") continue;
    const file = path.join(corpus, name);
    if (!existsSync(file)) continue;
    compareFile(name, file, MDBReader, stats);
  }
  console.log(`${stats.files} corpus files, ${stats.tables} tables (${stats.tablesAll} equal to ` +
    `both oracles), ${stats.rows} rows, ${stats.valuesAll} values equal both oracles`);
  for (const d of stats.disagreements) console.log("KNOWN  " + d);
  for (const f of stats.failures) console.log("FAIL   " + f);
  process.exit(stats.failures.length ? 1 : 0);
}

function compareFile(name, file, MDBReader, stats) {
  const ours = run(cli, ["tables", file]);
  const mt = run("mdb-tables", ["-1", file]);
  if (!ours.ok) {
    const number = (ours.err.match(/protected by a database password/) ? 3031 : 0);
    if (number === 3031) {
      stats.disagreements.push(`${name}: refused (database password, error 3031); both oracles ignore passwords`);
      return;
    }
    stats.failures.push(`${name}: jetlift-cli tables failed: ${ours.err.trim()}`);
    return;
  }
  stats.files++;
  const ourTables = ours.out.split("\n").filter((s) => s);
  const theirTables = mt.out.split("\n").filter((s) => s);
  if (JSON.stringify(ourTables) !== JSON.stringify(theirTables)) {
    stats.failures.push(`${name}: tables ${JSON.stringify(ourTables)} != mdb-tables ${JSON.stringify(theirTables)}`);
  }
  const dump = run(cli, ["dump", file]);
  if (!dump.ok) { stats.failures.push(`${name}: dump failed: ${dump.err.trim()}`); return; }
  const data = JSON.parse(dump.out);
  let reader = null;
  try { reader = new MDBReader(readFileSync(file)); } catch (e) { reader = null; }
  for (const t of data.tables) compareTable(name, file, t, reader, stats);
}

function readerRows(reader, table, columns) {
  const t = reader.getTable(table);
  return t.getData().map((row) => columns.map((c) => row[c.name]));
}

function compareTable(name, file, t, reader, stats) {
  stats.tables++;
  const types = t.columns.map((c) => c.type);
  const where = `${name} [${t.name}]`;
  const oursLoose = t.rows.map((r) => r.map((v, i) => canonOurs(types[i], v, true)));
  const oursExact = t.rows.map((r) => r.map((v, i) => canonOurs(types[i], v, false)));
  const ex = run("mdb-export", ["-H", "-0", "@N@", "-b", "hex", "-T", "%Y-%m-%dT%H:%M:%S", file, t.name]);
  let E = null, R = null, Rloose = null;
  if (ex.ok) E = parseCsv(ex.out).map((r) => r.map((f, i) => canonExport(types[i], f)));
  if (reader) {
    try {
      const raw = readerRows(reader, t.name, t.columns);
      R = raw.map((r) => r.map((v, i) => canonReader(types[i], v, false)));
      Rloose = raw.map((r) => r.map((v, i) => canonReader(types[i], v, true)));
    } catch (e) { R = null; }
  }
  stats.rows += t.rows.length;
  const okE = E && sameMultiset(oursLoose, E);
  const okR = R && sameMultiset(oursExact, R);
  if (okE && okR) {
    stats.tablesAll++;
    stats.valuesAll += t.rows.length * types.length;
    return;
  }
  const oraclesAgree = E && Rloose && sameMultiset(E, Rloose);
  if (oraclesAgree) {
    stats.failures.push(`${where}: ours differs from both oracles, which agree (columns ` +
      differingColumns(types, oursLoose, E).map((c) => t.columns[c].name).join(", ") + ")");
    return;
  }
  for (const [oracle, ok, rows, mine] of [["mdb-export", okE, E, oursLoose], ["mdb-reader", okR, R, oursExact]]) {
    if (ok) continue;
    if (!rows) { stats.disagreements.push(`${where}: ${oracle} failed to read the table`); continue; }
    const cols = differingColumns(types, mine, rows);
    if (cols.length === 0) {
      stats.failures.push(`${where}: ${oracle} rows differ (${rows.length} vs ${mine.length})`);
      continue;
    }
    for (const c of cols) {
      const k = known(name, t.name, oracle, types[c], mine, rows, c);
      const line = `${where}.${t.columns[c].name} (${types[c]}): ${oracle} differs ` +
        `(ours ${example(mine, rows, c)}, theirs ${example(rows, mine, c)})`;
      if (k) stats.disagreements.push(`${line}: ${k.reason}`);
      else stats.failures.push(line + " and the oracles disagree with each other");
    }
  }
}

main();
