"use strict";
// The board's state comes only from the hub (its event stream and its answers): a click
// marks the button pending until the board confirms, never with the colour it should become.
(() => {
  // The page's own words: the panel's for a Chinese browser, English for any other.
  const TEXTS = {
    zh: {
      connecting: "正在连接集线器…",
      up: "继电器板已连接",
      down: "继电器板未连接",
      hubLost: "无法连接集线器，正在重试…",
      allOn: "全部吸和",
      allOff: "全部断开",
      askToken: "此集线器需要访问令牌：",
      failed: (what, why) => `${what}：${why}`,
      notConfirmed: "继电器板未确认",
      boardDown: "继电器板未连接",
      badToken: "访问令牌无效",
      refused: (status, why) => `集线器拒绝了操作（${status}${why ? "：" + why : ""}）`,
      noAnswer: "集线器没有应答",
    },
    en: {
      connecting: "Connecting to the hub…",
      up: "Board connected",
      down: "Board not connected",
      hubLost: "Hub not reachable, retrying…",
      allOn: "All on",
      allOff: "All off",
      askToken: "This hub wants its access token:",
      failed: (what, why) => `${what}: ${why}`,
      notConfirmed: "the board did not confirm",
      boardDown: "the board is not connected",
      badToken: "no valid access token",
      refused: (status, why) => `the hub refused (${status}${why ? ": " + why : ""})`,
      noAnswer: "the hub did not answer",
    },
  };
  const preferred = navigator.languages?.[0] ?? navigator.language ?? "";
  const language = /^zh\b/i.test(preferred) ? "zh" : "en";
  const text = TEXTS[language];
  document.documentElement.lang = language;
  document.querySelectorAll("[data-text]").forEach((e) => (e.textContent = text[e.dataset.text]));

  const channelBox = document.getElementById("channels");
  const link = document.getElementById("link");
  const message = document.getElementById("message");
  const allButtons = [...document.querySelectorAll("[data-all]")];
  const buttons = [];
  let connected = false;
  // For the bench: when each event arrived, when its colours were set and when painted.
  const times = (window.kestrelTimes = []);

  function build(captions) {
    // As the panel lays them out: 1 to 8 down the left column, 16 to 9 down the right.
    for (let row = 1; row <= 8; ++row) {
      for (const n of [row, 17 - row]) {
        const button = document.createElement("button");
        button.type = "button";
        button.className = "channel unknown";
        button.dataset.channel = n;
        button.textContent = captions[n - 1];
        button.addEventListener("click", () => switchChannel(n));
        buttons[n - 1] = button;
        channelBox.append(button);
      }
    }
    allButtons.forEach((button) =>
      button.addEventListener("click", () =>
        send("api/all", button.dataset.all, [button], button.textContent)));
  }

  function showLink(text, state) {
    link.textContent = text;
    link.className = "link " + state;
  }

  function show(status) {
    connected = status.connected;
    showLink(connected ? text.up : text.down, connected ? "up" : "down");
    buttons.forEach((button, i) => {
      button.classList.remove("on", "off", "unknown");
      button.classList.add(!connected ? "unknown" : status.channels[i] ? "on" : "off");
      button.setAttribute("aria-pressed", connected ? String(status.channels[i]) : "mixed");
      button.disabled = !connected;
    });
    allButtons.forEach((button) => (button.disabled = !connected));
  }

  function hubLost() {
    connected = false;
    showLink(text.hubLost, "unknown");
    buttons.forEach((button) => {
      button.classList.remove("on", "off");
      button.classList.add("unknown");
      button.disabled = true;
    });
    allButtons.forEach((button) => (button.disabled = true));
  }

  function onEvent(event) {
    const arrived = Date.now();
    const status = JSON.parse(event.data);
    show(status);
    const entry = { type: event.type, mask: status.mask, arrived, shown: Date.now() };
    requestAnimationFrame(() => (entry.painted = Date.now()));
    times.push(entry);
    if (times.length > 1000) times.shift();
  }

  function listen() {
    const events = new EventSource("api/events");
    for (const type of ["snapshot", "status", "up", "down"]) events.addEventListener(type, onEvent);
    events.onerror = () => {
      hubLost();
      // The browser retries by itself unless the hub refused the stream (listener cap).
      if (events.readyState === EventSource.CLOSED) setTimeout(listen, 3000);
    };
  }

  async function post(path, body) {
    const headers = { "Content-Type": "text/plain" };
    const token = localStorage.getItem("kestrel-token");
    if (token) headers.Authorization = "Bearer " + token;
    return fetch(path, { method: "POST", body, headers });
  }

  function refusal(status, why) {
    if (status === 504) return text.notConfirmed;
    if (status === 503) return text.boardDown;
    if (status === 401) return text.badToken;
    return text.refused(status, why);
  }

  async function send(path, body, pending, what) {
    if (!connected || pending.some((button) => button.classList.contains("pending"))) return;
    pending.forEach((button) => button.classList.add("pending"));
    message.textContent = "";
    try {
      let reply = await post(path, body);
      if (reply.status === 401) {
        const token = prompt(text.askToken);
        if (token) {
          localStorage.setItem("kestrel-token", token.trim());
          reply = await post(path, body);
        }
      }
      const answer = await reply.json().catch(() => ({}));
      if (reply.ok) show(answer);
      else message.textContent = text.failed(what, refusal(reply.status, answer.error));
    } catch (error) {
      message.textContent = text.failed(what, text.noAnswer);
    } finally {
      pending.forEach((button) => button.classList.remove("pending"));
    }
  }

  // As the panel does: the other way from the state shown, which is the board's.
  function switchChannel(n) {
    const button = buttons[n - 1];
    send(`api/channel/${n}`, button.classList.contains("on") ? "off" : "on", [button],
      button.textContent);
  }

  async function start() {
    try {
      const reply = await fetch("api/status");
      const status = await reply.json();
      build(status.captions);
      show(status);
      listen();
    } catch (error) {
      hubLost();
      setTimeout(start, 3000);
    }
  }

  start();
})();
