#include "tools/mervd/status_page.h"

namespace {

constexpr const char* Page = R"html(<!DOCTYPE html>
<html lang="en">
<head>
<meta charset="utf-8">
<meta name="viewport" content="width=device-width, initial-scale=1">
<title>MERV Modul lines</title>
<style>
body { font-family: sans-serif; font-size: 18px; margin: 1em; background: #fafafa; color: #222; }
h1 { font-size: 1.4em; }
section.line { background: #fff; border: 1px solid #ccc; border-radius: 6px; padding: 0.8em; margin-bottom: 1em; }
.state-idle { color: #2a6; } .state-running { color: #c60; font-weight: bold; }
table { border-collapse: collapse; width: 100%; } td, th { text-align: left; padding: 0.3em; border-top: 1px solid #eee; }
.ok { color: #2a6; } .bad { color: #c22; }
button { font-size: 1em; padding: 0.4em 1em; }
#problem { color: #c22; }
</style>
</head>
<body>
<h1>MERV Modul lines</h1>
<p id="login" hidden>Token: <input id="token" type="password" size="40"> <button id="use-token">Show</button></p>
<p id="problem"></p>
<div id="lines"></div>
<script>
"use strict";
let token = sessionStorage.getItem("mervd-token") || "";
// A token given after "#token=" is kept for the tab and taken out of the address.
function takeTokenFromAddress() {
  const given = new URLSearchParams(location.hash.slice(1)).get("token");
  if (!given) return;
  token = given;
  sessionStorage.setItem("mervd-token", token);
  history.replaceState(null, "", location.pathname);
  document.getElementById("login").hidden = true;
}
takeTokenFromAddress();
window.addEventListener("hashchange", () => { takeTokenFromAddress(); refresh(); });
const diagnoses = {};

function element(tag, text, className) {
  const made = document.createElement(tag);
  if (text !== undefined) made.textContent = text;
  if (className) made.className = className;
  return made;
}

async function call(method, path) {
  const answer = await fetch(path, { method: method, headers: { "Authorization": "Bearer " + token } });
  const body = await answer.json();
  if (!answer.ok) throw new Error(body.message || ("HTTP " + answer.status));
  return body;
}

function outcomeRow(record) {
  const row = element("tr");
  row.append(element("td", record.activity), element("td", record.state));
  const failed = record.error !== undefined && record.error !== 0;
  row.append(element("td", record.error === undefined ? "-" : String(record.error), failed ? "bad" : "ok"));
  row.append(element("td", record.meaning || record.message || ""));
  row.append(element("td", record.finished || record.accepted));
  return row;
}

function diagnosisList(name) {
  const shown = diagnoses[name];
  const list = element("ul");
  list.className = "diagnosis";
  if (!shown) return list;
  if (shown.error) { list.append(element("li", shown.error, "bad")); return list; }
  for (const check of shown.checks) {
    const item = element("li", (check.ok ? "ok   " : "FAIL ") + check.name + ": " + check.detail, check.ok ? "ok" : "bad");
    if (!check.ok && check.advice) item.append(element("div", check.advice));
    list.append(item);
  }
  return list;
}

async function diagnose(name) {
  diagnoses[name] = { checks: [{ ok: true, name: "diagnosis", detail: "running..." }] };
  try { diagnoses[name] = await call("POST", "/v1/lines/" + encodeURIComponent(name) + "/doctor"); }
  catch (failure) { diagnoses[name] = { error: failure.message }; }
  refresh();
}

function lineSection(line) {
  const section = element("section", undefined, "line");
  section.id = "line-" + line.name;
  section.append(element("h2", line.name));
  const state = line.state === "running"
    ? "running " + line.activity + " for " + line.running_seconds.toFixed(1) + " s" : "idle";
  const stateLine = element("p");
  stateLine.append(element("span", state, "state state-" + line.state), element("span", ", queued: " + line.queued));
  section.append(stateLine);
  const table = element("table");
  table.append(element("tr"));
  table.firstChild.append(element("th", "activity"), element("th", "state"), element("th", "error"),
                          element("th", "meaning"), element("th", "time"));
  for (const record of line.recent) table.append(outcomeRow(record));
  section.append(table);
  const button = element("button", "Check this line", "diagnose");
  button.addEventListener("click", () => diagnose(line.name));
  section.append(button, diagnosisList(line.name));
  return section;
}

async function refresh() {
  if (!token) { document.getElementById("login").hidden = false; return; }
  try {
    const answer = await call("GET", "/v1/lines");
    const lines = document.getElementById("lines");
    lines.replaceChildren(...answer.lines.map(lineSection));
    document.getElementById("problem").textContent = "";
  } catch (failure) {
    document.getElementById("problem").textContent = "Cannot read the lines: " + failure.message;
  }
}

document.getElementById("use-token").addEventListener("click", () => {
  token = document.getElementById("token").value.trim();
  sessionStorage.setItem("mervd-token", token);
  document.getElementById("login").hidden = true;
  refresh();
});
refresh();
setInterval(refresh, 1000);
</script>
</body>
</html>
)html";

}  // namespace

const std::string& StatusPageHtml() {
  static const std::string page = Page;
  return page;
}
