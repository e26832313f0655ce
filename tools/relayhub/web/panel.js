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
  let captions = [];
  let connected = false;
  // Per channel, when (performance.now()) its running timer switches it off, else null.
  let offAt = [];
  let ticker = 0;
  // For the bench: when each event arrived, when its colours were set and when painted.
  const times = (window.kestrelTimes = []);

  function build(status) {
    captions = status.captions;
    // As the panel lays them out: 1 to 8 down the left column, 16 to 9 down the right.
    for (let row = 1; row <= 8; ++row) {
      for (const n of [row, 17 - row]) {
        const button = document.createElement("button");
        button.type = "button";
        button.className = "channel unknown";
        button.dataset.channel = n;
        for (const part of ["caption", "interlock", "timer"]) {
          const span = document.createElement("span");
          span.className = part;
          button.append(span);
        }
        button.addEventListener("click", () => press(n));
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
    showRules(status.rules);
    showTimers(status.timer_ms);
  }

  function part(n, name) {
    return buttons[n - 1].querySelector("." + name);
  }

  // A name from the hub's rules overrides the caption; interlocked channels name the others.
  function showRules(rules) {
    rules.forEach((rule, i) => {
      part(i + 1, "caption").textContent = rule.name ?? captions[i];
      buttons[i].classList.toggle("momentary", rule.pulse_ms !== null);
      const others = (rule.interlock || []).filter((n) => n !== i + 1);
      part(i + 1, "interlock").textContent = others.length ? "⇄ " + others.join(" ") : "";
    });
  }

  function showTimers(timers) {
    const now = performance.now();
    offAt = timers.map((ms) => (ms === null ? null : now + ms));
    clearInterval(ticker);
    ticker = offAt.some((at) => at !== null) ? setInterval(tick, 100) : 0;
    tick();
  }

  function tick() {
    const now = performance.now();
    offAt.forEach((at, i) => {
      part(i + 1, "timer").textContent =
        connected && at !== null ? "◷ " + timeLeft(Math.max(at - now, 0)) : "";
    });
  }

  // Tenths of a second below a minute (a pulse), else m:ss or h:mm:ss (an auto-off).
  function timeLeft(ms) {
    if (ms < 60000) return (Math.ceil(ms / 100) / 10).toFixed(1) + " s";
    const seconds = Math.ceil(ms / 1000);
    const two = (n) => String(n).padStart(2, "0");
    const minutes = Math.floor(seconds / 60);
    return (minutes >= 60 ? Math.floor(minutes / 60) + ":" + two(minutes % 60) : minutes) + ":" +
      two(seconds % 60);
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
    tick();
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
    for (const type of ["snapshot", "status", "up", "down", "rules", "timers"])
      events.addEventListener(type, onEvent);
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

  // A momentary channel is pulsed for its pulse_ms; any other switched as the panel does:
  // the other way from the state shown, which is the board's.
  function press(n) {
    const button = buttons[n - 1];
    const what = part(n, "caption").textContent;
    if (button.classList.contains("momentary")) send(`api/channel/${n}/pulse`, "", [button], what);
    else send(`api/channel/${n}`, button.classList.contains("on") ? "off" : "on", [button], what);
  }

  async function start() {
    try {
      const reply = await fetch("api/status");
      const status = await reply.json();
      build(status);
      show(status);
      listen();
    } catch (error) {
      hubLost();
      setTimeout(start, 3000);
    }
  }

  start();
})();
