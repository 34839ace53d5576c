// An independent SeedLink client against `nereid serve`: seisplotjs (npm), its SeedLink 4 and
// SeedLink 3 clients over a WebSocket and its miniSEED parser. Checks that every stream's
// records come in order and without holes, that the samples are the simulator's signal
// (docs/simulator.md, default --signal-freq 1 and --signal-amp 100000 x channel, no noise),
// and that a second connection asking for the packet after the last one seen goes on from
// there. Usage: node seisplotjs_check.mjs PORT. Exit status 0 when every check holds.
import { WebSocket } from "ws";

// seisplotjs 3.2 declares its web components at load time and uses the browser's WebSocket;
// Node 20 has neither, so minimal stand-ins come first (the components are never used here).
globalThis.HTMLElement = class {};
globalThis.HTMLDivElement = class {};
globalThis.customElements = { define() {}, get() { return undefined; } };
globalThis.WebSocket = WebSocket;
const sp = await import("seisplotjs/nodeonly");

const port = Number(process.argv[2]);
const url = `ws://127.0.0.1:${port}/seedlink`;
const STREAMS = 12;      // the simulator's 6 streams: 12 channels (primary and secondary)
const WINDOW_S = 5;      // seconds of samples checked per stream
const TIMEOUT_MS = 30000;

let failures = 0;
function fail(text) {
  failures += 1;
  console.error("FAIL: " + text);
}

function llround(x) {
  return Math.sign(x) * Math.round(Math.abs(x));
}

// The simulator's sample k of second t on recorder channel c at n samples/s.
function expected(c, t, k, n) {
  const phase = (t % 1) + k / n; // f = 1: fmod(f * t, 1) is 0 for whole seconds
  return Math.max(-8388608, Math.min(8388607, llround(100000 * c * Math.sin(2 * Math.PI * phase))));
}

// Per stream: the recorder channel whose signal the samples are, or 0 when none fits.
function channelOf(record, samples) {
  const n = record.header.sampleRate;
  const startMs = record.header.startTime.toMillis();
  for (let c = 1; c <= 16; ++c) {
    let all = true;
    for (let i = 0; i < samples.length && all; ++i) {
      const ms = startMs + (i * 1000) / n;
      const t = Math.floor(ms / 1000);
      const k = Math.round(((ms - t * 1000) * n) / 1000);
      all = samples[i] === expected(c, t, k, n);
    }
    if (all) {
      return c;
    }
  }
  return 0;
}

// Collects records per stream until each holds WINDOW_S seconds; checks order and samples.
class Collector {
  constructor(name) {
    this.name = name;
    this.streams = new Map(); // key -> { nextMs, seconds, channel }
    this.lastSequence = -1n;
    this.packets = 0;
  }
  add(sequence, record) {
    this.packets += 1;
    if (sequence <= this.lastSequence) {
      fail(`${this.name}: sequence ${sequence} after ${this.lastSequence}`);
    }
    this.lastSequence = sequence;
    const h = record.header;
    const key = `${h.netCode}.${h.staCode}.${h.locCode}.${h.chanCode}`;
    const samples = Array.from(record.decompress());
    if (samples.length !== h.numSamples) {
      fail(`${this.name} ${key}: ${samples.length} samples decoded, header says ${h.numSamples}`);
    }
    const startMs = h.startTime.toMillis();
    let s = this.streams.get(key);
    if (!s) {
      s = { nextMs: startMs, seconds: 0, channel: 0 };
      this.streams.set(key, s);
    }
    if (startMs !== s.nextMs) {
      fail(`${this.name} ${key}: record at ${h.startTime.toISO()} where ${new Date(s.nextMs).toISOString()} was due`);
    }
    s.nextMs = startMs + (samples.length * 1000) / h.sampleRate;
    const c = channelOf(record, samples);
    if (c === 0) {
      fail(`${this.name} ${key}: samples of the record at ${h.startTime.toISO()} are not the simulator's signal`);
    } else if (s.channel !== 0 && s.channel !== c) {
      fail(`${this.name} ${key}: signal of channel ${c} after channel ${s.channel}`);
    }
    s.channel = c;
    s.seconds += samples.length / h.sampleRate;
  }
  done() {
    if (this.streams.size < STREAMS) {
      return false;
    }
    for (const s of this.streams.values()) {
      if (s.seconds < WINDOW_S) {
        return false;
      }
    }
    return true;
  }
}

// Runs one connection until the collector is satisfied; resolves with it.
function follow(make, collector) {
  return new Promise((resolve, reject) => {
    const timer = setTimeout(() => {
      conn.close();
      reject(new Error(`${collector.name}: ${collector.streams.size} streams, ${collector.packets} packets after ${TIMEOUT_MS} ms`));
    }, TIMEOUT_MS);
    let finished = false;
    const conn = make(
      (sequence, record) => {
        // Packets already on their way when the connection closes are not counted.
        if (finished) {
          return;
        }
        collector.add(sequence, record);
        if (collector.done()) {
          finished = true;
          clearTimeout(timer);
          conn.close();
          resolve(collector);
        }
      },
      (error) => {
        clearTimeout(timer);
        conn.close();
        reject(error);
      },
    );
    conn.connect();
  });
}

function seedlink4(commands) {
  return (onRecord, onError) =>
    new sp.seedlink4.SeedlinkConnection(
      url,
      commands,
      (packet) => {
        if (!packet.isMiniseed()) {
          fail(`SeedLink 4: packet ${packet.sequence} is format ${packet.dataFormat}, not miniSEED 2`);
          return;
        }
        if (packet.stationId !== stationId) {
          fail(`SeedLink 4: station id ${packet.stationId}, expected ${stationId}`);
        }
        onRecord(packet.sequence, packet.asMiniseed());
      },
      onError,
    );
}

function seedlink3(commands) {
  return (onRecord, onError) =>
    new sp.seedlink.SeedlinkConnection(
      url,
      commands,
      (packet) => onRecord(BigInt(packet.sequence), packet.miniseed),
      onError,
    );
}

let stationId = "";
try {
  // INFO ID over SeedLink 4 names the station id to ask for.
  stationId = await new Promise((resolve, reject) => {
    const conn = new sp.seedlink4.SeedlinkConnection(url, [], () => {}, reject);
    conn
      .interactiveConnect()
      .then(() => conn.sendHello())
      .then((lines) => {
        if (!conn.checkProto(lines)) {
          throw new Error("HELLO does not offer SLPROTO:4.0: " + lines.join(" | "));
        }
        return conn.sendSLProto("4.0");
      })
      .then(() => {
        conn.webSocket.onmessage = (event) => {
          const packet = sp.seedlink4.SEPacket.parse(event.data);
          conn.close();
          const station = packet._json?.station?.[0]?.id;
          station ? resolve(station) : reject(new Error("INFO STATIONS without a station"));
        };
        conn.webSocket.send("INFO STATIONS\r\n");
      })
      .catch(reject);
  });
  console.log(`station ${stationId}`);

  const first = await follow(seedlink4([`STATION ${stationId}`, "DATA ALL"]), new Collector("SeedLink 4"));
  console.log(`SeedLink 4: ${first.packets} packets, ${first.streams.size} streams, last ${first.lastSequence}`);

  // Reconnection: the packet after the last one seen, and every stream goes on where it was.
  const again = new Collector("SeedLink 4 again");
  again.streams = new Map([...first.streams].map(([k, v]) => [k, { ...v, seconds: 0 }]));
  let firstAgain = -1n;
  const resumed = await follow(
    (onRecord, onError) =>
      seedlink4([`STATION ${stationId}`, `DATA ${first.lastSequence + 1n}`])((sequence, record) => {
        if (firstAgain < 0n) {
          firstAgain = sequence;
        }
        onRecord(sequence, record);
      }, onError),
    again,
  );
  if (firstAgain !== first.lastSequence + 1n) {
    fail(`resumed at ${firstAgain}, expected ${first.lastSequence + 1n}`);
  }
  console.log(`SeedLink 4 resumed at ${firstAgain}: ${resumed.packets} packets`);

  const [net, sta] = stationId.split("_");
  const v3 = await follow(seedlink3([`STATION ${sta} ${net}`, "SELECT ???"]), new Collector("SeedLink 3"));
  console.log(`SeedLink 3: ${v3.packets} packets, ${v3.streams.size} streams`);
} catch (error) {
  fail(error.message);
}
if (failures > 0) {
  console.error(`${failures} checks failed`);
  process.exit(1);
}
console.log("all checks hold");
process.exit(0);
