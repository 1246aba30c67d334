// The live view's page: frames from the server's WebSocket drawn on a canvas, the figures, the
// histogram, the pixel under the cursor, zoom and pan, the settings and the controls.
"use strict";

const $ = (selector) => document.querySelector(selector);
const token = new URLSearchParams(location.search).get("token");
const socketUrl = (location.protocol === "https:" ? "wss://" : "ws://") + location.host + "/ws" +
  (token ? "?token=" + encodeURIComponent(token) : "");

const canvas = $("#frame");
const context = canvas.getContext("2d");
const scratch = document.createElement("canvas");
const scratchContext = scratch.getContext("2d");
const view = { zoom: 1, cx: null, cy: null };
let socket = null;
let last = null; // the header and samples of the frame drawn last
let drawnTimes = [];
let luts = {};
let pixels = null; // the RGBA image the samples are turned into
let waiting = false;
const FIGURES_MS = 200;
let figuresShown = 0;
let figuresTimer = null;

document.addEventListener("visibilitychange", () => {
  if (!document.hidden && waiting) {
    waiting = false;
    ask();
  }
});

function send(message) {
  if (socket && socket.readyState === WebSocket.OPEN) socket.send(message);
}

function sendJson(message) {
  send(JSON.stringify(message));
}

function connect() {
  socket = new WebSocket(socketUrl);
  socket.binaryType = "arraybuffer";
  socket.onopen = () => ask();
  socket.onmessage = (event) => {
    if (typeof event.data === "string") onMessage(JSON.parse(event.data));
    else onFrame(event.data);
  };
  socket.onclose = () => {
    setState("disconnected");
    setTimeout(connect, 1000);
  };
}

// ---- geometry ------------------------------------------------------------------------------
// The canvas's size in device pixels, read when it changes (reading it for every frame would
// lay the page out again each time).
let stageSize = null;
new ResizeObserver(() => {
  stageSize = null;
  draw();
}).observe(canvas);

function canvasSize() {
  if (stageSize === null) {
    const ratio = window.devicePixelRatio || 1;
    stageSize = [Math.max(1, Math.round(canvas.clientWidth * ratio)),
      Math.max(1, Math.round(canvas.clientHeight * ratio))];
    canvas.width = stageSize[0];
    canvas.height = stageSize[1];
  }
  return stageSize;
}

function frameSize() {
  return last ? [last.header.width, last.header.height] : [1 << 20, 1 << 20];
}

// Screen pixels per frame pixel, and the frame point at the canvas's centre.
function transform() {
  const [cw, ch] = canvasSize();
  const [fw, fh] = frameSize();
  const scale = Math.min(cw / fw, ch / fh) * view.zoom;
  if (view.cx === null) {
    view.cx = fw / 2;
    view.cy = fh / 2;
  }
  return { cw, ch, fw, fh, scale };
}

function toFrame(clientX, clientY) {
  const rect = canvas.getBoundingClientRect();
  const ratio = window.devicePixelRatio || 1;
  const t = transform();
  const x = ((clientX - rect.left) * ratio - t.cw / 2) / t.scale + view.cx;
  const y = ((clientY - rect.top) * ratio - t.ch / 2) / t.scale + view.cy;
  return [x, y];
}

// Asks the server for the next frame: the part of it in view, at most as many samples as the
// canvas has pixels.
function ask() {
  const t = transform();
  const halfW = t.cw / t.scale / 2;
  const halfH = t.ch / t.scale / 2;
  const x0 = Math.max(0, Math.floor(view.cx - halfW));
  const y0 = Math.max(0, Math.floor(view.cy - halfH));
  const x1 = Math.max(x0 + 1, Math.min(t.fw, Math.ceil(view.cx + halfW)));
  const y1 = Math.max(y0 + 1, Math.min(t.fh, Math.ceil(view.cy + halfH)));
  const cols = Math.max(1, Math.min(8192, t.cw, x1 - x0));
  const rows = Math.max(1, Math.min(8192, t.ch, y1 - y0));
  sendJson({ type: "ready", x0, y0, x1: Math.min(x1, 1 << 20), y1: Math.min(y1, 1 << 20), cols, rows });
}

// ---- frames --------------------------------------------------------------------------------
function lutFor(header) {
  const key = header.sample_bytes + ":" + header.bits;
  if (!luts[key]) {
    const size = header.sample_bytes === 2 ? 65536 : 256;
    const top = header.sample_bytes === 2 ? Math.pow(2, header.bits) - 1 : 255;
    const lut = new Uint8Array(size);
    for (let v = 0; v < size; v++) lut[v] = Math.min(255, Math.round((v * 255) / top));
    luts[key] = lut;
  }
  return luts[key];
}

function onFrame(buffer) {
  const length = new DataView(buffer).getUint32(0, true);
  const header = JSON.parse(new TextDecoder().decode(new Uint8Array(buffer, 4, length)));
  const offset = 4 + length;
  const count = header.cols * header.rows * header.channels;
  const samples = header.sample_bytes === 2
    ? new Uint16Array(buffer, offset, count) : new Uint8Array(buffer, offset, count);
  const first = !last || last.header.width !== header.width || last.header.height !== header.height;
  last = { header, samples };
  if (first) {
    view.cx = header.width / 2;
    view.cy = header.height / 2;
  }
  try {
    draw();
  } finally {
    if (document.hidden) waiting = true; // a tab out of sight asks for no frames
    else ask();
  }
  $("#frame-number").textContent = header.number; // always the frame on the canvas
  const now = performance.now();
  drawnTimes.push(now);
  while (drawnTimes.length && drawnTimes[0] < now - 1000) drawnTimes.shift();
  // The other figures and the histogram follow at most every FIGURES_MS (the last frame's
  // always): each change of the text costs the browser a layout and a paint.
  if (figuresTimer === null) {
    figuresTimer = setTimeout(showFigures, Math.max(0, figuresShown + FIGURES_MS - now));
  }
}

function showFigures() {
  figuresTimer = null;
  figuresShown = performance.now();
  const header = last.header;
  drawHistogram(header.histogram, header.channels);
  $("#format").textContent = `${header.width}x${header.height} ${header.format} (${header.bits} bits)`;
  $("#page-fps").textContent = drawnTimes.length;
}

function draw() {
  if (!last || !last.header.cols || !last.header.rows) return;
  const h = last.header;
  const t = transform();
  if (scratch.width !== h.cols || scratch.height !== h.rows) {
    scratch.width = h.cols;
    scratch.height = h.rows;
  }
  if (!pixels || pixels.width !== h.cols || pixels.height !== h.rows) {
    pixels = scratchContext.createImageData(h.cols, h.rows); // made again only for a new size
  }
  const image = pixels;
  const out = image.data;
  const s = last.samples;
  const n = h.cols * h.rows;
  if (h.channels === 1) {
    const lut = lutFor(h);
    for (let i = 0, j = 0; i < n; i++, j += 4) {
      const v = lut[s[i]];
      out[j] = v; out[j + 1] = v; out[j + 2] = v; out[j + 3] = 255;
    }
  } else {
    const r = h.bgr ? 2 : 0;
    const b = h.bgr ? 0 : 2;
    for (let i = 0, j = 0, k = 0; i < n; i++, j += 4, k += 3) {
      out[j] = s[k + r]; out[j + 1] = s[k + 1]; out[j + 2] = s[k + b]; out[j + 3] = 255;
    }
  }
  scratchContext.putImageData(image, 0, 0);
  context.setTransform(1, 0, 0, 1, 0, 0);
  context.fillStyle = "#000";
  context.fillRect(0, 0, t.cw, t.ch);
  context.imageSmoothingEnabled = false; // the samples as they are, and cheaper to draw
  const dx = (h.x0 - view.cx) * t.scale + t.cw / 2;
  const dy = (h.y0 - view.cy) * t.scale + t.ch / 2;
  context.drawImage(scratch, 0, 0, h.cols, h.rows, dx, dy, h.cols * h.step * t.scale,
    h.rows * h.step * t.scale);
  $("#zoom").textContent = Math.round(t.scale * 100) + "%";
}

function drawHistogram(bins, channels) {
  const c = $("#histogram");
  const g = c.getContext("2d");
  g.clearRect(0, 0, c.width, c.height);
  const colours = channels === 3 ? ["#f55", "#5f5", "#58f"] : ["#ddd"];
  g.globalCompositeOperation = channels === 3 ? "lighter" : "source-over";
  bins.forEach((plane, p) => {
    const top = Math.max(1, ...plane);
    g.fillStyle = colours[p];
    for (let i = 0; i < plane.length; i++) {
      const height = (plane[i] / top) * c.height;
      g.fillRect(i, c.height - height, 1, height);
    }
  });
  g.globalCompositeOperation = "source-over";
}

function showPixel(event) {
  if (!last) return;
  const h = last.header;
  const [x, y] = toFrame(event.clientX, event.clientY);
  const i = Math.floor((x - h.x0) / h.step);
  const j = Math.floor((y - h.y0) / h.step);
  if (x < 0 || y < 0 || i < 0 || j < 0 || i >= h.cols || j >= h.rows) {
    $("#pixel").textContent = "-";
    return;
  }
  const at = (j * h.cols + i) * h.channels;
  let value = h.channels === 1 ? String(last.samples[at])
    : Array.from(last.samples.subarray(at, at + 3)).join(", ");
  if (h.channels === 3) value = (h.bgr ? "BGR " : "RGB ") + value;
  $("#pixel").textContent = `(${h.x0 + i * h.step}, ${h.y0 + j * h.step}) ${value}`;
}

// ---- zoom and pan --------------------------------------------------------------------------
function zoomBy(factor, clientX, clientY) {
  const before = clientX === undefined ? null : toFrame(clientX, clientY);
  view.zoom = Math.min(64, Math.max(1, view.zoom * factor));
  if (before) {
    const after = toFrame(clientX, clientY);
    view.cx += before[0] - after[0];
    view.cy += before[1] - after[1];
  }
  if (view.zoom === 1) {
    const [fw, fh] = frameSize();
    view.cx = fw / 2;
    view.cy = fh / 2;
  }
  draw();
}

canvas.addEventListener("wheel", (event) => {
  event.preventDefault();
  zoomBy(event.deltaY < 0 ? 1.25 : 0.8, event.clientX, event.clientY);
}, { passive: false });
let dragging = null;
canvas.addEventListener("mousedown", (event) => { dragging = [event.clientX, event.clientY]; });
window.addEventListener("mouseup", () => { dragging = null; });
canvas.addEventListener("mousemove", (event) => {
  if (dragging) {
    const t = transform();
    const ratio = window.devicePixelRatio || 1;
    view.cx -= ((event.clientX - dragging[0]) * ratio) / t.scale;
    view.cy -= ((event.clientY - dragging[1]) * ratio) / t.scale;
    dragging = [event.clientX, event.clientY];
    draw();
  }
  showPixel(event);
});
$("#zoom-in").onclick = () => zoomBy(2);
$("#zoom-out").onclick = () => zoomBy(0.5);
$("#zoom-fit").onclick = () => zoomBy(0);
window.addEventListener("resize", draw);

// ---- messages ------------------------------------------------------------------------------
function setState(state) {
  const element = $("#state");
  element.textContent = state;
  element.className = "state " + state;
}

function onMessage(message) {
  if (message.type === "status") onStatus(message);
  else if (message.type === "board") onBoard(message);
  else if (message.type === "set") onSet(message);
  else if (message.type === "recording") {
    $("#rec-error").textContent = message.ok ? "" : errorText(message);
  } else if (message.type === "error") console.warn("pyzol view:", message.error);
}

function errorText(message) {
  return [message.error, ...(message.notes || [])].join("\n");
}

function onStatus(s) {
  setState(s.state);
  $("#fps").textContent = s.fps === undefined ? "-" : s.fps.toFixed(1);
  $("#total").textContent = s.total === undefined ? (s.board_error || "-") : s.total;
  $("#shown").textContent = s.shown;
  const rec = s.recording;
  $("#dropped").textContent = rec ? rec.dropped : "-";
  $("#missed").textContent = rec ? rec.missed : "-";
  if (rec) {
    const of = rec.count === null ? "" : " of " + rec.count;
    $("#rec-progress").textContent =
      `${rec.file}: ${rec.written}${of} frames${rec.done ? ", done" : ""}`;
    if (rec.error) $("#rec-error").textContent = rec.error;
  }
  if (s.board) {
    const table = $("#board-status table");
    table.replaceChildren(...Object.entries(s.board).map(([k, v]) => row([k, String(v)])));
  }
  if (s.io && s.io.inputs !== undefined) {
    bits($("#io-inputs"), s.io.inputs);
    bits($("#io-outputs"), s.io.outputs);
  }
}

function row(cells) {
  const tr = document.createElement("tr");
  for (const text of cells) {
    const td = document.createElement("td");
    td.textContent = text;
    tr.append(td);
  }
  return tr;
}

function bits(element, word) {
  const spans = [];
  for (let i = 15; i >= 0; i--) {
    const span = document.createElement("span");
    span.title = "bit " + i;
    if ((word >> i) & 1) span.className = "on";
    spans.push(span);
  }
  element.replaceChildren(...spans);
  element.dataset.word = word;
}

function onBoard(message) {
  $("#board-name").textContent = `${message.kind} ${message.id}/${message.channel}`;
  fillSettings(document.querySelector('table.settings[data-board="camera"]'), "camera",
    message.settings);
  if (message.io) {
    $("#io").hidden = false;
    $("#io-name").textContent = `${message.io.kind} ${message.io.id}`;
    fillSettings(document.querySelector('table.settings[data-board="io"]'), "io",
      message.io.settings);
  }
}

function fillSettings(table, board, settings) {
  for (const s of settings) {
    let tr = table.querySelector(`tr[data-name="${CSS.escape(s.name)}"]`);
    if (!tr) {
      tr = document.createElement("tr");
      tr.dataset.name = s.name;
      const name = document.createElement("td");
      name.textContent = s.name;
      const kind = document.createElement("td");
      kind.className = "kind";
      kind.textContent = s.kind + (s.access === "read" ? ", read-only" : "");
      const value = document.createElement("td");
      value.className = "value";
      if (s.access !== "read") {
        const input = document.createElement("input");
        input.addEventListener("change", () => write(board, s.name, s.kind, input.value));
        value.append(input);
      }
      const error = document.createElement("td");
      error.className = "error";
      tr.append(name, kind, value);
      table.append(tr);
      const errorRow = document.createElement("tr");
      errorRow.append(document.createElement("td"), error);
      error.colSpan = 2;
      tr.errorCell = error;
      table.append(errorRow);
    }
    const input = tr.querySelector("input");
    const shown = s.error ? s.error : (s.value === undefined ? "" : String(s.value));
    if (input) {
      if (document.activeElement !== input) input.value = shown;
    } else {
      tr.querySelector("td.value").textContent = shown;
    }
  }
}

// A whole number goes to the server as the JSON number it is (exactly, however long); any
// other text as a string, which the board's settings check as they would a script's value.
function write(board, name, kind, text) {
  const body = JSON.stringify({ type: "set", board, name });
  const trimmed = text.trim();
  if (kind !== "text" && /^[-+]?\d+$/.test(trimmed)) {
    send(body.slice(0, -1) + ',"value":' + BigInt(trimmed).toString() + "}");
  } else {
    sendJson({ type: "set", board, name, value: text });
  }
}

function onSet(message) {
  const table = document.querySelector(`table.settings[data-board="${message.board}"]`);
  const tr = table && table.querySelector(`tr[data-name="${CSS.escape(message.name)}"]`);
  if (tr) tr.errorCell.textContent = message.ok ? "" : errorText(message);
}

// ---- controls ------------------------------------------------------------------------------
$("#start").onclick = () => sendJson({ type: "start" });
$("#stop").onclick = () => sendJson({ type: "stop" });
$("#snap").onclick = () => sendJson({ type: "snap" });
$("#end-recording").onclick = () => sendJson({ type: "end_recording" });
$("#record").onclick = () => {
  const text = $("#rec-frames").value.trim();
  $("#rec-error").textContent = "";
  const frames = text === "" ? null : /^\d+$/.test(text) ? Number(text) : text;
  sendJson({ type: "record", frames });
};

connect();
