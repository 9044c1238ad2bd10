// The month calendar.
'use strict';

(() => {
  const h = V.h;
  let month = null;  // "yyyy-MM-01" being shown

  V.pages.calendar = async () => {
    const today = V.todayISO();
    if (!month) month = today.slice(0, 8) + '01';
    const first = month;
    const offset = (V.parseISO(first).getUTCDay() + 6) % 7;  // Monday first
    const start = V.addDays(first, -offset);
    const end = V.addDays(start, 41);
    let items = [];
    try {
      items = (await V.api('GET', '/tasks?from=' + start + '&to=' + end)).items;
    } catch (err) { V.toast(err.message, true); }
    const byDay = {};
    for (const t of items) {
      const d = t.start_date || t.due_date;
      (byDay[d] = byDay[d] || []).push(t);
    }
    const shift = (n) => {
      const d = V.parseISO(month);
      d.setUTCMonth(d.getUTCMonth() + n);
      month = d.toISOString().slice(0, 8) + '01';
      V.render();
    };
    const weekdays = ['Пн', 'Вт', 'Ср', 'Чт', 'Пт', 'Сб', 'Вс'];
    const cells = [];
    for (let i = 0; i < 42; i++) {
      const day = V.addDays(start, i);
      const tasks = byDay[day] || [];
      const cls = (day.slice(0, 7) === first.slice(0, 7) ? '' : '.other') + (day === today ? '.today' : '');
      cells.push(h('div.cell' + cls,
        h('span.num', String(Number(day.slice(8)))),
        tasks.slice(0, 3).map((t) => h('a.ev' + (t.completed ? '.done' : '') + (t.priority ? '.p' + t.priority : ''),
          { href: '/calendar?task=' + t.id, 'data-link': true, title: t.title },
          t.due_time ? h('b', t.due_time.slice(0, 5)) : null, t.title)),
        tasks.length > 3 ? h('span.more', 'ещё ' + (tasks.length - 3)) : null));
    }
    const id = V.query('task');
    const detail = id ? await V.detail(id) : null;
    V.reloadList = () => V.render();
    return h('div.cols' + (detail ? '.with-detail' : ''),
      h('div.main-col.wide',
        h('header.head.row',
          h('h1', V.cap(V.fmt(first, { month: 'long' })) + ' ' + first.slice(0, 4)),
          h('div.nav-btns',
            h('button.btn.ghost.small', { onclick: () => shift(-1), 'aria-label': 'Предыдущий месяц' }, '‹'),
            h('button.btn.ghost.small', { onclick: () => { month = today.slice(0, 8) + '01'; V.render(); } }, 'Сегодня'),
            h('button.btn.ghost.small', { onclick: () => shift(1), 'aria-label': 'Следующий месяц' }, '›'))),
        h('div.month', weekdays.map((w) => h('div.wd', w)), cells)),
      detail);
  };
})();
