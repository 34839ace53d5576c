// The station page: /status.json every few seconds, the waveforms from the SeedLink WebSocket
// of the same address (seisplotjs, SeedLink 4), drawn on the recorder's time. Read-only.
import * as sp from "seisplotjs";

const WINDOW_MINUTES = 5;
const STATUS_MS = 2000; // the document is built from memory: polling it costs the link nothing
const REDRAW_MS = 1000;
const { DateTime, Duration, Interval } = sp.luxon;

const traces = new Map(); // "CHA" -> { records, graph }
let seedlink = null;
let latestEnd = null; // end of the newest record: the recorder's time on the axis

function el(id) {
  return document.getElementById(id);
}

// Rows of label and value; texts only, never markup (user agents come from anyone).
function fillTable(table, rows) {
  table.replaceChildren(
    ...rows.map(([label, value, cls]) => {
      const tr = document.createElement("tr");
      const th = document.createElement("th");
      const td = document.createElement("td");
      th.textContent = label;
      td.textContent = value === null || value === undefined ? "-" : String(value);
      td.className = "value" + (cls ? " " + cls : "");
      td.dataset.field = label;
      tr.append(th, td);
      return tr;
    }),
  );
}

function bytes(n) {
  if (n === null || n === undefined) return null;
  return (n / 1e9).toFixed(2) + " GB";
}

function showStatus(s) {
  el("station").textContent = `${s.station.network}.${s.station.station}` +
    (s.station.model ? ` (${s.station.model})` : "");
  el("recorder-time").textContent = s.recorderTime ?? "-";
  const link = s.link;
  fillTable(el("link"), [
    ["Connected", link.connected ? "yes" : "no", link.connected ? "good" : "bad"],
    ["Line lost since", link.lostSince],
    ["Port", link.port ? `${link.port} at ${link.baud} baud` : null],
    ["Frames/s", link.framesPerSecond.toFixed(1)],
    ["CRC errors", link.crcErrors, link.crcErrors > 0 ? "bad" : ""],
  ]);
  const r = s.recording;
  fillTable(el("recording"), r.on
    ? [["Form", r.form], ["Folder", r.folder], ["Period", `${r.periodMinutes} min from ${r.periodStart ?? "-"}`],
       ["Seconds recorded", r.secondsRecorded], ["Free disk", bytes(r.freeBytes)]]
    : [["Recording", "off"]]);
  el("health-time").textContent = (s.healthTime ? `read ${s.healthTime} (PC clock)` : "not read yet") +
    (s.healthProblem ? `; last reading failed: ${s.healthProblem}` : "");
  const pages = (s.health ?? []).map((page) => {
    const div = document.createElement("div");
    const h = document.createElement("h3");
    h.textContent = page.page;
    const table = document.createElement("table");
    table.dataset.page = page.page;
    fillTable(table, Object.entries(page.values));
    div.append(h, table);
    return div;
  });
  el("health").replaceChildren(...pages);
  fillTable(el("clients"), s.clients.map((c) =>
    [`${c.host}:${c.port}`, `${c.protocol}${c.streaming ? ", streaming" : ""}, ${c.packets} packets` +
      (c.userAgent ? `, ${c.userAgent}` : "")]));
  if (!seedlink && s.station.station && s.recorderTime) {
    startWaveforms(s);
  }
}

function traceFor(channel) {
  let t = traces.get(channel);
  if (!t) {
    const config = new sp.seismographconfig.SeismographConfig();
    config.title = channel;
    config.xLabel = "";
    config.yLabel = "";
    config.ySublabel = "";
    config.ySublabelIsUnits = false;
    config.isYAxisNice = false;
    config.wheelZoom = false;
    const graph = new sp.seismograph.Seismograph([], config);
    graph.classList.add("trace");
    graph.dataset.channel = channel;
    t = { records: [], graph, drawn: 0 };
    traces.set(channel, t);
    const sorted = [...traces.keys()].sort();
    el("traces").insertBefore(graph, el("traces").children[sorted.indexOf(channel)] ?? null);
  }
  return t;
}

function onPacket(packet) {
  if (!packet.isMiniseed()) return;
  const record = packet.asMiniseed();
  const t = traceFor(record.header.chanCode);
  t.records.push(record);
  const end = record.header.endTime;
  if (!latestEnd || end > latestEnd) latestEnd = end;
}

function redraw() {
  if (!latestEnd) return;
  const window = Interval.before(latestEnd, Duration.fromObject({ minutes: WINDOW_MINUTES }));
  for (const t of traces.values()) {
    t.records = t.records.filter((r) => r.header.endTime > window.start);
    if (t.records.length === 0) continue;
    // merge keeps a gap between records as a gap: separate segments, nothing drawn across.
    const seismogram = sp.miniseed.merge(t.records);
    t.graph.seismographConfig.fixedTimeScale = window;
    t.graph.seisData = [sp.seismogram.SeismogramDisplayData.fromSeismogram(seismogram)];
    t.graph.dataset.samples = String(seismogram.numPoints);
    t.graph.dataset.segments = String(seismogram.segments.length);
    t.graph.dataset.end = seismogram.endTime.toISO();
  }
  document.body.dataset.axisEnd = latestEnd.toUTC().toISO({ suppressMilliseconds: true });
}

function startWaveforms(s) {
  const url = `${location.protocol === "https:" ? "wss" : "ws"}://${location.host}/seedlink`;
  const start = DateTime.fromISO(s.recorderTime, { zone: "utc" })
    .minus({ minutes: WINDOW_MINUTES })
    .toFormat("yyyy-LL-dd'T'HH:mm:ss'Z'");
  seedlink = new sp.seedlink4.SeedlinkConnection(
    url,
    [`STATION ${s.station.network}_${s.station.station}`, `DATA ALL ${start}`],
    onPacket,
    (error) => problem(`waveforms: ${error}`),
  );
  // A closed connection is made again from the newest status; the records come anew from
  // the ring, so the ones held are let go rather than drawn twice.
  seedlink.setOnClose(() => {
    seedlink = null;
    for (const t of traces.values()) t.records = [];
  });
  seedlink.connect().catch((error) => {
    problem(`waveforms: ${error}`);
    seedlink = null;
  });
}

function problem(text) {
  el("page-problem").hidden = !text;
  el("page-problem").textContent = text;
}

async function pollStatus() {
  try {
    const response = await fetch("status.json", { cache: "no-store" });
    showStatus(await response.json());
    problem("");
  } catch (error) {
    problem(`the service does not answer: ${error}`);
  }
}

el("window-minutes").textContent = WINDOW_MINUTES;
pollStatus();
setInterval(pollStatus, STATUS_MS);
setInterval(redraw, REDRAW_MS);
