#include "intake/browse.h"

#include <charconv>
#include <cmath>
#include <cstdio>

#include "modules/module_description.h"
#include "modules/module_json.h"
#include "records/catalogue.h"
#include "util/latin1.h"

namespace kr {

namespace {

// A Latin-1 text as a JSON string (UTF-8; quotes, backslashes, control
// characters and "<" escaped, so no text can end the script element).
std::string JsonText(std::string_view latin1) {
  std::string out = "\"";
  for (unsigned char c : Latin1ToUtf8(latin1)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += char(c);
    } else if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '&') {
      char b[8];
      std::snprintf(b, sizeof b, "\\u%04x", unsigned(c));
      out += b;
    } else {
      out += char(c);
    }
  }
  return out + "\"";
}

// A Latin-1 text for HTML (UTF-8, the five special characters escaped).
std::string Html(std::string_view latin1) {
  std::string out;
  for (char c : Latin1ToUtf8(latin1)) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c;
    }
  }
  return out;
}

// A percentage with two decimals, the same in every locale; 0 for what is
// not a finite number.
std::string Fixed(double v) {
  if (!std::isfinite(v)) v = 0;
  char b[64];
  auto r = std::to_chars(b, b + sizeof b, v, std::chars_format::fixed, 2);
  return std::string(b, r.ptr);
}

// "DD-MM-YY" and "HH:MM:SS" as a number that sorts by time (two-digit years
// below 70 are taken as 20xx); 0 when the date does not read so.
std::string DateKey(const std::string& date, const std::string& time) {
  int d, m, y, hh = 0, mm = 0, ss = 0;
  if (std::sscanf(date.c_str(), "%2d-%2d-%2d", &d, &m, &y) != 3) return "0";
  std::sscanf(time.c_str(), "%2d:%2d:%2d", &hh, &mm, &ss);
  y += y < 70 ? 2000 : 1900;
  char b[32];
  std::snprintf(b, sizeof b, "%04d%02d%02d%02d%02d%02d", y, m, d, hh, mm, ss);
  return b;
}

// A figure as the page shows it: two decimals, "&ndash;" for what is not a
// finite number.
std::string FigureText(double v) { return std::isfinite(v) ? Fixed(v) : std::string("&ndash;"); }

// One test's raw figures as HTML: the named numbers in a line, the arrays and
// the per-block-size values of a sweep in a details element below it.
class HtmlFigures : public FigureSink {
 public:
  void Number(const char* name, double v) override {
    Add(main_, (group_.empty() ? "" : group_ + " ") + name + " <b>" + FigureText(v) + "</b>");
  }
  void Array(const char* name, const double* v, size_t n) override {
    std::string list;
    for (size_t i = 0; i < n; ++i) list += (i ? ", " : "") + FigureText(v[i]);
    Add(more_, std::string(name) + ": " + list);
  }
  void PerBlockSize(const double* v, int n) override {
    std::string list;
    for (int j = 0; j < n; ++j) list += (j ? ", " : "") + SizeText(128ull << j) + " " + FigureText(v[j]);
    Add(more_, list);
  }
  void BeginGroup(const char* name) override { group_ = name; }
  void EndGroup() override { group_.clear(); }
  std::string Done() const {
    if (more_.empty()) return main_;
    return main_ + "<details><summary>more</summary>" + more_ + "</details>";
  }

 private:
  static void Add(std::string& to, const std::string& item) { to += (to.empty() ? "" : "; ") + item; }
  static std::string SizeText(unsigned long long bytes) {
    if (bytes >= 1024 * 1024) return std::to_string(bytes / (1024 * 1024)) + " MiB";
    if (bytes >= 1024) return std::to_string(bytes / 1024) + " KiB";
    return std::to_string(bytes) + " B";
  }
  std::string main_, more_, group_;
};

}  // namespace

std::string BrowseDataHead(int64_t filed) {
  return "\"use strict\";\nvar KR_FILED = " + std::to_string(filed) + ";\nvar KR_MODULES = [\n";
}

void AppendBrowseRow(std::string& out, const PublishedModule& p) {
  out += '[';
  for (const std::string* t : {&p.serial, &p.date, &p.time, &p.userName, &p.cpu, &p.os}) {
    out += JsonText(*t);
    out += ',';
  }
  for (double v : {p.processor, p.memory, p.drive}) {
    out += Fixed(v);
    out += ',';
  }
  out += DateKey(p.date, p.time);
  out += "],\n";
}

std::string ModulePage(const ModuleRecord& m) {
  ModuleDescription d = DescribeModule(m);
  std::string serial = Html(d.serial);
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Module " +
      serial + "</title>\n<link rel=\"stylesheet\" href=\"browse.css\">\n</head>\n<body>\n<nav><a href=\"index.html\">All modules</a> "
      "&middot; <a href=\"" + serial + ".dbe\" download>Module file</a></nav>\n<h1>" + Html(d.userName) + " &mdash; " +
      Html(d.cpu) + "</h1>\n<table class=\"fields\">\n";
  auto row = [&](const char* name, std::string value) {
    while (!value.empty() && value.back() == ' ') value.pop_back();
    while (!value.empty() && value.front() == ' ') value.erase(0, 1);
    if (!value.empty()) out += "<tr><th>" + std::string(name) + "</th><td>" + Html(value) + "</td></tr>\n";
  };
  row("User", d.userName);
  row("Real name", d.realName);
  row("Location", d.location);
  row("CPU", d.cpu);
  row("FPU", d.fpu);
  row("MMU", d.mmu);
  row("Clock (MHz)", d.realMhz);
  row("Memory", d.totalFast);
  row("Operating system", d.osVersion);
  row("Kernel", d.ksVersion);
  row("Desktop", d.wbVersion);
  row("Drive", (d.diskVendor + " " + d.diskProduct + " " + d.diskRevision));
  row("File system", d.fileSystem);
  row("Date", d.date + " " + d.time);
  row("Build", d.nativeBuild);
  row("Serial", d.serial);
  row("Comment", d.comment);
  out += "</table>\n<h2>Totals</h2>\n<table class=\"figures\">\n<thead><tr><th>Section</th><th class=\"num\">KelvaRANKS</th></tr></thead>\n<tbody>\n";
  auto total = [&](int slot) {
    ScoreSlot s = m.score(slot);
    return s.counts() ? Fixed(s.percent) : std::string("&ndash;");
  };
  auto score = [&](int slot) {
    ScoreSlot s = m.score(slot);
    return s.counts() ? Fixed(s.percent) + " %" : std::string("&ndash;");
  };
  const std::pair<const char*, int> totals[] = {{"Processor", slot::kProcessorTotal},
                                                 {"Memory", slot::kMemoryTotal},
                                                 {"Hard drive", slot::kDriveTotal},
                                                 {"System", slot::kSystemTotal}};
  for (const auto& [name, slot] : totals)
    out += "<tr><td>" + std::string(name) + "</td><td class=\"num\">" + total(slot) + "</td></tr>\n";
  out += "</tbody>\n</table>\n<h2>Tests</h2>\n<table class=\"figures\">\n<thead><tr><th>Section</th><th>Test</th>"
         "<th>Figures</th><th>Unit</th><th class=\"num\">100 % at</th><th class=\"num\">Score</th></tr></thead>\n<tbody>\n";
  for (int i = 0; i < kCatalogueSize; ++i) {
    const CatalogueEntry& e = kCatalogue[i];
    const char* section = e.section == Section::Processor ? "Processor" : e.section == Section::Memory ? "Memory" : "Hard drive";
    char ref[64];
    if (e.reference == std::floor(e.reference) && std::fabs(e.reference) < 1e15)
      std::snprintf(ref, sizeof ref, "%.0f", e.reference);
    else
      std::snprintf(ref, sizeof ref, "%g", e.reference);
    HtmlFigures figures;
    WalkFigures(m, e, figures);
    out += "<tr><td>" + std::string(section) + "</td><td>" + Html(e.label) + "</td><td>" + figures.Done() +
           "</td><td>" + Html(e.unit) + "</td><td class=\"num\">" + ref + "</td><td class=\"num\">" +
           score(e.slot) + "</td></tr>\n";
  }
  return out + "</tbody>\n</table>\n</body>\n</html>\n";
}

const char* const kBrowseHtml = R"(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>KelvaRANK module collection</title>
<link rel="stylesheet" href="browse.css">
</head>
<body>
<header>
<h1>KelvaRANK module collection</h1>
<p id="summary">The module list needs JavaScript; the modules themselves are listed in <a href="database.dbi">database.dbi</a>.</p>
<label for="search">Search</label>
<input id="search" type="search" placeholder="user, CPU, operating system, date or serial" autocomplete="off">
</header>
<table id="modules">
<thead><tr>
<th data-col="date" tabindex="0">Date</th>
<th data-col="user" tabindex="0">User</th>
<th data-col="cpu" tabindex="0">CPU</th>
<th data-col="os" tabindex="0">Operating system</th>
<th data-col="processor" class="num" tabindex="0">Processor</th>
<th data-col="memory" class="num" tabindex="0">Memory</th>
<th data-col="drive" class="num" tabindex="0">Hard drive</th>
<th data-col="serial" tabindex="0">Serial</th>
<th>File</th>
</tr></thead>
<tbody></tbody>
</table>
<p id="more"></p>
<script src="modules.js"></script>
<script src="browse.js"></script>
</body>
</html>
)";

const char* const kBrowseScript = R"JS("use strict";
// Sorting and search of the module list. State lives in the address's
// fragment (#sort=processor&dir=desc&q=words), so a view can be linked.
(function () {
  var rows = window.KR_MODULES || [];
  var filed = window.KR_FILED || rows.length;
  var LIMIT = 500;
  var COLUMNS = { serial: 0, date: 9, user: 3, cpu: 4, os: 5, processor: 6, memory: 7, drive: 8 };
  var NUMERIC = { date: true, processor: true, memory: true, drive: true };
  var state = { sort: "date", dir: "desc", q: "" };
  var body = document.querySelector("#modules tbody");
  var search = document.getElementById("search");
  var haystack = rows.map(function (r) {
    return [r[0], r[1], r[2], r[3], r[4], r[5]].join("\n").toLowerCase();
  });

  function readHash() {
    var h = window.location.hash.replace(/^#/, "");
    h.split("&").forEach(function (pair) {
      var i = pair.indexOf("=");
      if (i < 0) return;
      var k = decodeURIComponent(pair.slice(0, i)), v = decodeURIComponent(pair.slice(i + 1).replace(/\+/g, " "));
      if (k === "sort" && COLUMNS.hasOwnProperty(v)) state.sort = v;
      if (k === "dir" && (v === "asc" || v === "desc")) state.dir = v;
      if (k === "q") state.q = v;
    });
    search.value = state.q;
  }
  function writeHash() {
    var h = "#sort=" + state.sort + "&dir=" + state.dir + (state.q ? "&q=" + encodeURIComponent(state.q) : "");
    if (window.location.hash !== h) history.replaceState(null, "", h);
  }
  function cell(tr, text, cls) {
    var td = document.createElement("td");
    if (cls) td.className = cls;
    if (text instanceof Node) td.appendChild(text); else td.textContent = text;
    tr.appendChild(td);
  }
  function link(href, text) {
    var a = document.createElement("a");
    a.href = href;
    a.textContent = text;
    return a;
  }
  function render() {
    var terms = state.q.toLowerCase().split(/\s+/).filter(Boolean);
    var picked = [];
    for (var i = 0; i < rows.length; i++) {
      var hay = haystack[i], all = true;
      for (var t = 0; t < terms.length && all; t++) all = hay.indexOf(terms[t]) >= 0;
      if (all) picked.push(i);
    }
    var col = COLUMNS[state.sort], num = NUMERIC[state.sort], sign = state.dir === "asc" ? 1 : -1;
    picked.sort(function (a, b) {
      var x = rows[a][col], y = rows[b][col];
      if (!num) { x = String(x).toLowerCase(); y = String(y).toLowerCase(); }
      if (x < y) return -sign;
      if (x > y) return sign;
      return b - a;  // equal keys: newest first
    });
    var frag = document.createDocumentFragment();
    picked.slice(0, LIMIT).forEach(function (i) {
      var r = rows[i], tr = document.createElement("tr");
      tr.setAttribute("data-serial", r[0]);
      cell(tr, r[1] + " " + r[2]);
      cell(tr, r[3]);
      cell(tr, r[4]);
      cell(tr, r[5]);
      cell(tr, r[6].toFixed(2), "num");
      cell(tr, r[7].toFixed(2), "num");
      cell(tr, r[8].toFixed(2), "num");
      cell(tr, link(r[0] + ".html", r[0]), "serial");
      cell(tr, link(r[0] + ".dbe", "download"));
      frag.appendChild(tr);
    });
    body.textContent = "";
    body.appendChild(frag);
    document.querySelectorAll("th[data-col]").forEach(function (th) {
      var c = th.getAttribute("data-col");
      th.setAttribute("aria-sort", c === state.sort ? (state.dir === "asc" ? "ascending" : "descending") : "none");
    });
    document.getElementById("summary").textContent =
      (terms.length ? picked.length + " of " : "") + rows.length + " modules" +
      (filed > rows.length ? " (the newest " + rows.length + " of " + filed + " filed)" : "") + ".";
    document.getElementById("more").textContent =
      picked.length > LIMIT ? "Showing the first " + LIMIT + " of " + picked.length + "; search to narrow the list." : "";
    writeHash();
  }
  function sortBy(c) {
    if (state.sort === c) state.dir = state.dir === "asc" ? "desc" : "asc";
    else { state.sort = c; state.dir = NUMERIC[c] ? "desc" : "asc"; }
    render();
  }
  document.querySelectorAll("th[data-col]").forEach(function (th) {
    th.addEventListener("click", function () { sortBy(th.getAttribute("data-col")); });
    th.addEventListener("keydown", function (e) {
      if (e.key === "Enter" || e.key === " ") { e.preventDefault(); sortBy(th.getAttribute("data-col")); }
    });
  });
  search.addEventListener("input", function () { state.q = search.value; render(); });
  window.addEventListener("hashchange", function () { readHash(); render(); });
  readHash();
  render();
})();
)JS";

const char* const kBrowseStyle = R"(body { font: 14px/1.4 system-ui, sans-serif; margin: 1.5em; color: #1d1d1f; background: #fff; }
h1 { font-size: 1.5em; margin: 0 0 .3em; }
h2 { font-size: 1.15em; margin: 1.2em 0 .4em; }
header { margin-bottom: 1em; }
#search { width: min(32em, 90%); padding: .35em .5em; font: inherit; margin-left: .5em; }
table { border-collapse: collapse; }
th, td { padding: .25em .6em; border-bottom: 1px solid #e3e3e8; text-align: left; white-space: nowrap; }
thead th { background: #f2f2f5; position: sticky; top: 0; }
th[data-col] { cursor: pointer; user-select: none; }
th[data-col]:hover { background: #e4e4ea; }
th[aria-sort="ascending"]::after { content: " \25B2"; font-size: .75em; }
th[aria-sort="descending"]::after { content: " \25BC"; font-size: .75em; }
.num { text-align: right; font-variant-numeric: tabular-nums; }
td.serial { font-family: ui-monospace, monospace; font-size: .9em; }
tbody tr:nth-child(even) { background: #fafafc; }
tbody tr:hover { background: #eef4ff; }
a { color: #0b57d0; }
nav { margin-bottom: 1em; }
table.fields th { background: none; font-weight: 600; }
#more, #summary { color: #555; }
)";

}  // namespace kr
