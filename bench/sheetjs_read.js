// Reads an .xlsx with SheetJS (the npm package xlsx) in dense mode, as the reference for
// ooxml_bench; prints one JSON line: milliseconds, cells read, peak resident memory.
//   node sheetjs_read.js FILE      (with NODE_PATH pointing at the folder holding xlsx)
const XLSX = require('xlsx');

const file = process.argv[2];
const start = process.hrtime.bigint();
const wb = XLSX.readFile(file, { dense: true });
const ms = Number(process.hrtime.bigint() - start) / 1e6;

let cells = 0;
for (const name of wb.SheetNames) {
  const ws = wb.Sheets[name];
  const rows = ws['!data'] || ws;  // newer releases keep dense rows in !data
  for (const row of rows) {
    if (!row) continue;
    for (const cell of row) if (cell) ++cells;
  }
}
console.log(JSON.stringify({ ms, cells, peak_mb: process.resourceUsage().maxRSS / 1024 }));
