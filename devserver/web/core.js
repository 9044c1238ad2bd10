// Shared pieces of the web application: storage, API calls, the bridge to the
// desktop client, dates, DOM helpers and the router.
'use strict';

const V = (window.V = { pages: {}, settings: null, counts: {} });

// ---- storage --------------------------------------------------------------
V.token = () => localStorage.getItem('token');
V.user = () => {
  try { return JSON.parse(localStorage.getItem('user') || 'null'); } catch (_) { return null; }
};

// ---- bridge to the desktop client (absent in a plain browser) --------------
V.inClient = () => window.vukoMac === true;
V.post = (message) => {
  try {
    const h = window.webkit && window.webkit.messageHandlers && window.webkit.messageHandlers.vuko;
    if (h) h.postMessage(message);
  } catch (_) { /* not inside the client */ }
};
// Every change the user makes: the client refreshes its badge and reminders.
V.changed = () => {
  V.post({ type: 'tasksChanged' });
  V.refreshCounts();
};

// ---- API --------------------------------------------------------------------
V.api = async (method, path, body) => {
  const headers = { Accept: 'application/json' };
  const token = V.token();
  if (token) headers.Authorization = 'Bearer ' + token;
  if (body !== undefined) headers['Content-Type'] = 'application/json';
  let res;
  try {
    res = await fetch('/api' + path, { method, headers, body: body === undefined ? undefined : JSON.stringify(body) });
  } catch (_) {
    throw new Error('Нет связи с сервером');
  }
  let data = null;
  try { data = await res.json(); } catch (_) { /* empty or not JSON */ }
  if (res.status === 401 && !path.startsWith('/auth/')) {
    V.signOut(false);
    throw new Error('Нужно войти заново');
  }
  if (!res.ok) {
    const d = data && data.detail;
    throw new Error(typeof d === 'string' ? d : 'Ошибка сервера ' + res.status);
  }
  return data;
};

V.signOut = async (tellServer) => {
  if (tellServer) { try { await V.api('POST', '/auth/logout'); } catch (_) { /* gone anyway */ } }
  localStorage.removeItem('token');
  localStorage.removeItem('user');
  location.replace('/login');
};

// ---- DOM --------------------------------------------------------------------
// h('div.card#id', {onclick}, child, …): a small element builder.
V.h = (selector, attrs, ...children) => {
  const [, tag, rest] = selector.match(/^([a-z0-9-]*)(.*)$/i);
  const el = document.createElement(tag || 'div');
  for (const part of rest.match(/[.#][^.#]+/g) || []) {
    if (part[0] === '.') el.classList.add(part.slice(1)); else el.id = part.slice(1);
  }
  if (attrs && (typeof attrs !== 'object' || attrs instanceof Node || Array.isArray(attrs))) {
    children.unshift(attrs);
    attrs = null;
  }
  for (const [k, v] of Object.entries(attrs || {})) {
    if (v === undefined || v === null || v === false) continue;
    if (k.startsWith('on')) el.addEventListener(k.slice(2), v);
    else if (k === 'text') el.textContent = v;
    else if (k in el && typeof v !== 'string') el[k] = v;
    else el.setAttribute(k, v === true ? '' : v);
  }
  const add = (c) => {
    if (c === null || c === undefined || c === false) return;
    if (Array.isArray(c)) c.forEach(add);
    else el.append(c instanceof Node ? c : document.createTextNode(String(c)));
  };
  children.forEach(add);
  return el;
};

V.icon = (name) => {
  const paths = {
    today: 'M4 6h16M4 6v13a1 1 0 0 0 1 1h14a1 1 0 0 0 1-1V6M8 3v4M16 3v4M9 14l2 2 4-4',
    inbox: 'M4 13l2.5-7h11L20 13M4 13v5a1 1 0 0 0 1 1h14a1 1 0 0 0 1-1v-5M4 13h4.5l1 2h5l1-2H20',
    week: 'M4 5h16v15H4zM4 10h16M9 14h2M13 14h2M9 17h2',
    calendar: 'M4 5h16v15H4zM4 10h16M8 3v4M16 3v4',
    focus: 'M12 7v5l3 2M12 21a8 8 0 1 0 0-16 8 8 0 0 0 0 16zM10 2h4',
    settings: 'M12 15a3 3 0 1 0 0-6 3 3 0 0 0 0 6zM19 12l2-1-1-3-2 .2-1.3-1.3L17 5l-3-1-1 2h-2L10 4 7 5l.3 2L6 8.3 4 8l-1 3 2 1v0l-2 1 1 3 2-.2 1.3 1.3L7 19l3 1 1-2h2l1 2 3-1-.3-2 1.3-1.3 2 .3 1-3z',
    clip: 'M15 7l-6.5 6.5a2 2 0 0 0 2.8 2.8L18 9.6a4 4 0 0 0-5.7-5.7L5.6 10.6a6 6 0 0 0 8.5 8.5L20 13',
    repeat: 'M4 12a7 7 0 0 1 12-5l2 2M20 12a7 7 0 0 1-12 5l-2-2M18 4v5h-5M6 20v-5h5',
    close: 'M6 6l12 12M18 6L6 18',
    plus: 'M12 5v14M5 12h14',
    bell: 'M6 16V11a6 6 0 0 1 12 0v5l2 2H4zM10 20a2 2 0 0 0 4 0',
  };
  const ns = 'http://www.w3.org/2000/svg';
  const svg = document.createElementNS(ns, 'svg');
  svg.setAttribute('viewBox', '0 0 24 24');
  svg.setAttribute('class', 'ic');
  svg.setAttribute('aria-hidden', 'true');
  const p = document.createElementNS(ns, 'path');
  p.setAttribute('d', paths[name] || '');
  svg.append(p);
  return svg;
};

V.logo = () => {
  const span = V.h('span.logo');
  span.innerHTML = '<svg viewBox="0 0 24 24" aria-hidden="true"><path d="M5 12.5l4.5 4.5L19 7.5" fill="none" stroke="#fff" stroke-width="3" stroke-linecap="round" stroke-linejoin="round"/></svg>';
  return span;
};

V.toast = (text, bad) => {
  const t = V.h('div.toast' + (bad ? '.bad' : ''), { role: 'status' }, text);
  document.body.append(t);
  setTimeout(() => t.classList.add('out'), 2600);
  setTimeout(() => t.remove(), 3000);
};

V.debounce = (fn, ms) => {
  let timer = null;
  return (...args) => { clearTimeout(timer); timer = setTimeout(() => fn(...args), ms); };
};

// ---- dates (in the user's time zone from the server settings) ---------------
V.tz = () => (V.settings && V.settings.timezone) || undefined;
// "yyyy-MM-dd" of today. Built from the formatter's parts: the formatted
// text of a locale differs between engines and their ICU data.
V.todayISO = () => {
  const now = new Date();
  const iso = (y, m, d) => String(y).padStart(4, '0') + '-' + String(m).padStart(2, '0') + '-' + String(d).padStart(2, '0');
  try {
    const parts = {};
    const format = new Intl.DateTimeFormat('en-US-u-ca-gregory-nu-latn', { timeZone: V.tz(), year: 'numeric', month: 'numeric', day: 'numeric' });
    for (const { type, value } of format.formatToParts(now)) parts[type] = Number(value);
    if ([parts.year, parts.month, parts.day].every(Number.isInteger)) return iso(parts.year, parts.month, parts.day);
  } catch (_) { /* a time zone the engine does not know */ }
  return iso(now.getFullYear(), now.getMonth() + 1, now.getDate());
};
V.parseISO = (iso) => { const [y, m, d] = iso.split('-').map(Number); return new Date(Date.UTC(y, m - 1, d)); };
V.addDays = (iso, n) => { const d = V.parseISO(iso); d.setUTCDate(d.getUTCDate() + n); return d.toISOString().slice(0, 10); };
V.daysBetween = (a, b) => Math.round((V.parseISO(b) - V.parseISO(a)) / 86400000);
V.fmt = (iso, opts) => new Intl.DateTimeFormat('ru-RU', Object.assign({ timeZone: 'UTC' }, opts)).format(V.parseISO(iso));
V.cap = (s) => (s ? s[0].toUpperCase() + s.slice(1) : s);
V.dayLabel = (iso) => {
  const diff = V.daysBetween(V.todayISO(), iso);
  if (diff === 0) return 'Сегодня';
  if (diff === 1) return 'Завтра';
  if (diff === -1) return 'Вчера';
  if (diff > 1 && diff < 7) return V.cap(V.fmt(iso, { weekday: 'long' }));
  return V.fmt(iso, { day: 'numeric', month: 'long' });
};
V.priorityNames = ['Без приоритета', 'Низкий', 'Средний', 'Высокий'];
V.repeatNames = {
  daily: 'Каждый день', weekdays: 'По будням', weekly: 'Каждую неделю', monthly: 'Каждый месяц', yearly: 'Каждый год',
  'weekly:1': 'По понедельникам', 'weekly:2': 'По вторникам', 'weekly:3': 'По средам', 'weekly:4': 'По четвергам',
  'weekly:5': 'По пятницам', 'weekly:6': 'По субботам', 'weekly:7': 'По воскресеньям',
};

// ---- router -----------------------------------------------------------------
V.path = () => location.pathname.replace(/\/+$/, '') || '/';
V.query = (name) => new URLSearchParams(location.search).get(name);

V.go = (path) => {
  if (path !== location.pathname + location.search + location.hash) history.pushState(null, '', path);
  V.render();
};
// Used by the desktop client to navigate without a reload.
window.vukoGo = (path) => { V.go(String(path)); };

window.addEventListener('popstate', () => V.render());
document.addEventListener('click', (e) => {
  const a = e.target.closest && e.target.closest('a[data-link]');
  if (!a || e.metaKey || e.ctrlKey || e.shiftKey || e.button !== 0) return;
  e.preventDefault();
  V.go(a.getAttribute('href'));
});

V.refreshCounts = async () => {
  if (!V.token()) return;
  try {
    V.counts = await V.api('GET', '/tasks/counts');
    document.querySelectorAll('[data-count]').forEach((el) => {
      const n = V.counts[el.dataset.count];
      el.textContent = n ? String(n) : '';
    });
  } catch (_) { /* shown again on the next refresh */ }
};
