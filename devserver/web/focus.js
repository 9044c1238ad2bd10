// The pomodoro timer: the "Фокус" page and the compact "/mini-focus" page. The
// state lives in local storage, so both show the same timer.
'use strict';

(() => {
  const h = V.h;
  const LENGTH = { work: 25 * 60, break: 5 * 60 };
  const KEY = 'pomodoro';
  const fresh = () => ({ mode: 'work', running: false, left: LENGTH.work, endsAt: 0, done: 0, day: V.todayISO() });

  const load = () => {
    try {
      const s = JSON.parse(localStorage.getItem(KEY) || 'null');
      if (s && LENGTH[s.mode]) return s.day === V.todayISO() ? s : Object.assign(s, { done: 0, day: V.todayISO() });
    } catch (_) { /* start afresh */ }
    return fresh();
  };
  const save = (s) => localStorage.setItem(KEY, JSON.stringify(s));
  const left = (s) => (s.running ? Math.max(0, Math.round((s.endsAt - Date.now()) / 1000)) : s.left);
  const mmss = (sec) => String(Math.floor(sec / 60)).padStart(2, '0') + ':' + String(sec % 60).padStart(2, '0');

  function notify(s) {
    const title = s.mode === 'break' ? 'Помодоро: время отдохнуть' : 'Помодоро: перерыв окончен';
    const body = s.mode === 'break' ? 'Вы поработали 25 минут. Перерыв — 5 минут.' : 'Пора вернуться к задаче.';
    try {
      if (typeof Notification === 'function' && Notification.permission === 'granted') {
        new Notification(title, { body, tag: 'pomodoro' });
        return;
      }
    } catch (_) { /* fall through to the page's own message */ }
    V.toast(title);
  }

  // Moves a finished period on; whichever page sees it first does so.
  function advance() {
    const s = load();
    if (!s.running || Date.now() < s.endsAt) return s;
    if (s.mode === 'work') s.done += 1;
    s.mode = s.mode === 'work' ? 'break' : 'work';
    s.running = false;
    s.left = LENGTH[s.mode];
    save(s);
    notify(s);
    return s;
  }

  function start() {
    const s = load();
    if (s.running) return;
    if (typeof Notification === 'function' && Notification.permission === 'default') {
      try { Notification.requestPermission(); } catch (_) { /* not supported */ }
    }
    s.running = true;
    s.endsAt = Date.now() + s.left * 1000;
    save(s);
  }
  function pause() {
    const s = load();
    if (!s.running) return;
    s.left = left(s);
    s.running = false;
    save(s);
  }
  function reset(mode) {
    const s = load();
    s.mode = mode || s.mode;
    s.running = false;
    s.left = LENGTH[s.mode];
    save(s);
  }

  // Draws the timer into `root` and keeps it current while `root` is shown.
  function timer(root, compact) {
    const R = compact ? 70 : 110;
    const ns = 'http://www.w3.org/2000/svg';
    const ring = document.createElementNS(ns, 'svg');
    ring.setAttribute('viewBox', `0 0 ${2 * R + 20} ${2 * R + 20}`);
    ring.setAttribute('class', 'ring');
    const circle = (cls) => {
      const c = document.createElementNS(ns, 'circle');
      c.setAttribute('cx', R + 10); c.setAttribute('cy', R + 10); c.setAttribute('r', R);
      c.setAttribute('class', cls);
      ring.append(c);
      return c;
    };
    circle('track');
    const bar = circle('bar');
    const full = 2 * Math.PI * R;
    bar.setAttribute('stroke-dasharray', String(full));
    const time = h('div.time');
    const label = h('div.mode');
    const main = h('button.btn', { onclick: () => { (load().running ? pause : start)(); draw(); } });
    const count = h('div.count');
    const modes = h('div.modes',
      h('button.seg', { 'data-mode': 'work', onclick: () => { reset('work'); draw(); } }, 'Работа · 25'),
      h('button.seg', { 'data-mode': 'break', onclick: () => { reset('break'); draw(); } }, 'Перерыв · 5'));
    function draw() {
      if (!root.isConnected) { clearInterval(tick); return; }
      const s = advance();
      const l = left(s);
      time.textContent = mmss(l);
      label.textContent = s.mode === 'work' ? (s.running ? 'Фокус' : 'Готовы начать?') : 'Перерыв';
      main.textContent = s.running ? 'Пауза' : l === LENGTH[s.mode] ? 'Старт' : 'Продолжить';
      bar.setAttribute('stroke-dashoffset', String(full * (1 - l / LENGTH[s.mode])));
      root.classList.toggle('resting', s.mode === 'break');
      count.textContent = s.done ? 'Сессий сегодня: ' + s.done : '';
      modes.querySelectorAll('.seg').forEach((b) => b.classList.toggle('on', b.dataset.mode === s.mode));
      if (compact) document.title = (s.running ? mmss(l) + ' · ' : '') + 'Помодоро';
    }
    const tick = setInterval(draw, 500);
    root.replaceChildren(
      h('div.dial', ring, h('div.face', label, time)),
      h('div.controls', main, h('button.btn.ghost', { onclick: () => { reset(); draw(); } }, 'Сброс')),
      modes, count);
    draw();
  }

  V.pages.focus = async () => {
    const box = h('section.focus');
    let today = [];
    try { today = (await V.api('GET', '/tasks?view=today&completed=false')).items; } catch (_) { /* the timer works anyway */ }
    const pick = h('select', { 'aria-label': 'Над чем работаем', onchange: (e) => localStorage.setItem('focusTask', e.target.value) },
      h('option', { value: '' }, 'Без задачи'),
      today.map((t) => h('option', { value: String(t.id), selected: localStorage.getItem('focusTask') === String(t.id) }, t.title)));
    setTimeout(() => timer(box, false));
    return h('div.main-col.center',
      h('header.head', h('h1', 'Фокус'), h('p.sub', '25 минут работы, 5 минут отдыха')),
      h('label.field.focus-task', h('span', 'Над чем работаем'), pick),
      box,
      h('p.note', 'Таймер можно держать поверх окон: ',
        h('a', { href: '/mini-focus', target: '_blank' }, 'открыть мини-помодоро'), '.'));
  };

  V.pages.miniFocus = (app) => {
    app.dataset.shell = '';
    const box = h('section.focus.compact');
    app.replaceChildren(box);
    timer(box, true);
  };
})();
