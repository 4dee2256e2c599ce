// Compacts every corpus file our reader opens to Jet 4 and checks the result:
// our dump of source and result are equal (tables, columns, every value, text
// decoded by each file's code page), `jetlift-cli check` passes, mdb-ver says
// JET4, and mdbtools and mdb-reader read the result like our reader does (the
// oracle comparison of tests/oracle, run over the compacted files, with its
// list of known oracle misreadings). Since the result dumps like the source,
// the oracles thereby see the source's tables, columns and values.
//
// Usage: node compact_corpus.mjs CLI CORPUS_DIR MDB_READER_DIR WORK_DIR
import { execFileSync } from "node:child_process";
import { existsSync, mkdirSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import path from "node:path";
import { fileURLToPath } from "node:url";

const [cli, corpus, readerDir, work] = process.argv.slice(2);
const here = path.dirname(fileURLToPath(import.meta.url));
const kSkip = 77;

function run(cmd, args) {
  try {
    const out = execFileSync(cmd, args, { maxBuffer: 1 << 30, stdio: ["ignore", "pipe", "pipe"] });
    return { ok: true, out: out.toString("utf8"), err: "" };
  } catch (e) {
    return { ok: false, out: (e.stdout || "").toString(), err: (e.stderr || "").toString(), code: e.status };
  }
}

// Files our reader refuses on purpose, with the reason; every other refusal fails.
const kRefused = [
  { why: /database password/, reason: "protected by a database password (3031)" },
];

// Compactions that are refused on purpose today, with the reason; each must
// fail with its message (a refusal is safe: no file is written).
const kKnownRefusals = [
  ...["jet3-psc-smozgur-beginners2-data.mdb", "jet3-psc-smozgur-dbapp-data.mdb"].map((file) => ({
    file, message: /table '[^']+', column '[^']+': the column is indexed under sort order 1055 \(Turkish\), whose keys can only be kept in a Jet 3\.0 result/,
    reason: "text columns indexed under the Turkish sort order (1055): Jet 3 keys of that order can be " +
      "taken over into a 3.0 result only, and the writer makes Jet 4 keys for the General order (1033) only",
  })),
];

function main() {
  if (!run("mdb-ver", ["-M"]).ok && !run("mdb-export", ["--version"]).ok) {
    console.log("SKIP: mdbtools missing");
    process.exit(kSkip);
  }
  rmSync(work, { recursive: true, force: true });
  mkdirSync(work, { recursive: true });
  const manifest = readFileSync(path.join(corpus, "MANIFEST.tsv"), "utf8").trim().split("\n").slice(1)
    .map((l) => l.split("\t"));
  const failures = [], refused = [], compacted = [];
  let tables = 0, rows = 0, values = 0;
  for (const [name, , version] of manifest) {
    if (!["jet2", "jet3", "jet4"].includes(version)) continue;
    const src = path.join(corpus, name);
    if (!existsSync(src)) continue;
    const before = run(cli, ["dump", src]);
    if (!before.ok) {
      const r = kRefused.find((k) => k.why.test(before.err));
      if (r) refused.push(`${name}: ${r.reason}`);
      else failures.push(`${name}: our reader cannot dump the source: ${before.err.trim()}`);
      continue;
    }
    const dst = path.join(work, name.replace(/\.[^.]+$/, "") + ".mdb");
    const c = run(cli, ["compact", src, dst, "--to", "4.0"]);
    const known = kKnownRefusals.find((k) => k.file === name);
    if (!c.ok) {
      if (known && known.message.test(c.err)) refused.push(`${name}: compaction refused: ${known.reason}`);
      else failures.push(`${name}: compact failed: ${c.err.trim()}`);
      continue;
    }
    if (known) console.log(`NOTE   ${name} compacts now; its entry in kKnownRefusals can go`);
    compacted.push(path.basename(dst));
    const after = run(cli, ["dump", dst]);
    if (!after.ok) { failures.push(`${name}: the result does not dump: ${after.err.trim()}`); continue; }
    // The dumps name the file's version first; everything after it must be equal.
    const body = (s) => s.replace(/^\{"version":"[^"]*",/, "{");
    if (body(after.out) !== body(before.out)) failures.push(`${name}: dump of the result differs from the source`);
    const t1 = run(cli, ["tables", src]), t2 = run(cli, ["tables", dst]);
    if (t1.out !== t2.out) failures.push(`${name}: the result lists other tables`);
    const data = JSON.parse(before.out);
    for (const t of data.tables) { tables++; rows += t.rows.length; values += t.rows.length * t.columns.length; }
    const check = run(cli, ["check", dst]);
    if (!check.ok) failures.push(`${name}: check of the result fails: ${(check.err || check.out).trim().slice(0, 600)}`);
    const ver = run("mdb-ver", [dst]);
    if (ver.out.trim() !== "JET4") failures.push(`${name}: mdb-ver says ${JSON.stringify(ver.out.trim() || ver.err.trim())}`);
  }
  console.log(`${compacted.length} files compacted to Jet 4: ${tables} tables, ${rows} rows, ` +
    `${values} values equal in source and result`);
  for (const r of refused) console.log("REFUSED " + r);
  // The oracle comparison, over the results.
  writeFileSync(path.join(work, "MANIFEST.tsv"),
    "name\toriginal_name\tjet_version\n" + compacted.map((n) => `${n}\t${n}\tjet4`).join("\n") + "\n");
  const oracle = run(process.execPath, [path.join(here, "..", "oracle", "compare.mjs"), cli, work, readerDir]);
  process.stdout.write(oracle.out);
  if (oracle.code === kSkip) { console.log("SKIP: oracle comparison unavailable"); process.exit(kSkip); }
  if (!oracle.ok) failures.push("the oracles read the compacted files otherwise (FAIL lines above)");
  for (const f of failures) console.log("FAIL   " + f);
  console.log(`${compacted.length} passed, ${failures.length} failed`);
  process.exit(failures.length ? 1 : 0);
}

main();
