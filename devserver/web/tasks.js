// Task lists (today, inbox, 7 days), the quick-entry field and the task
// detail panel opened by "?task=ID".
'use strict';

(() => {
  const h = V.h;
  const taskDay = (t) => t.start_date || t.due_date || null;

  // ---- the line under the quick-entry field: how the server reads the text --
  function describe(p) {
    const parts = [];
    const time = p.due_time ? p.due_time.slice(0, 5) : '';
    if (p.start_date) parts.push(V.dayLabel(p.start_date) + (time ? ', ' + time : ''));
    if (p.due_date) parts.push('дедлайн ' + V.dayLabel(p.due_date) + (!p.start_date && time ? ', ' + time : ''));
    if (p.priority > 0) parts.push(V.priorityNames[p.priority]);
    for (const t of p.tags || []) parts.push('#' + t);
    if (p.repeat) parts.push(V.repeatNames[p.repeat] || 'повтор');
    return parts;
  }

  V.quick = () => {
    const input = h('input', {
      type: 'text', placeholder: 'Новая задача: «завтра в 10 позвонить маме»',
      'aria-label': 'Новая задача', autocomplete: 'off', spellcheck: 'false',
    });
    const preview = h('div.preview', { 'aria-live': 'polite' });
    let seq = 0;
    const parse = V.debounce(async () => {
      const text = input.value;
      const mine = ++seq;
      if (!text.trim()) { preview.replaceChildren(); return; }
      try {
        const p = await V.api('POST', '/tasks/parse', { text });
        if (mine !== seq) return;
        const chips = describe(p).map((c) => h('span.chip', c));
        preview.replaceChildren(...(chips.length ? chips : [h('span.hint', 'Во «Входящие»')]));
      } catch (_) { if (mine === seq) preview.replaceChildren(); }
    }, 220);
    input.addEventListener('input', parse);
    input.addEventListener('keydown', (e) => { if (e.key === 'Escape') { input.value = ''; preview.replaceChildren(); input.blur(); } });
    const form = h('form.quick', {
      onsubmit: async (e) => {
        e.preventDefault();
        const title = input.value.trim();
        if (!title) return;
        input.disabled = true;
        try {
          const t = await V.api('POST', '/tasks', { title, smart: true });
          input.value = '';
          preview.replaceChildren();
          V.toast('Добавлено: «' + t.title + '»');
          V.changed();
          if (V.reloadList) await V.reloadList();
        } catch (err) {
          V.toast(err.message, true);
        } finally {
          input.disabled = false;
          input.focus();
        }
      },
    }, h('span.plus', V.icon('plus')), input, preview);
    return form;
  };

  // ---- one task in a list ----------------------------------------------------
  async function setDone(t, done) {
    try {
      const r = await V.api('PUT', '/tasks/' + t.id, { completed: done });
      V.changed();
      if (done && r.next) V.toast('Следующий повтор — ' + V.dayLabel(taskDay(r.next)).toLowerCase());
      if (V.reloadList) await V.reloadList();
      if (V.reloadDetail) V.reloadDetail();
    } catch (err) { V.toast(err.message, true); }
  }

  function deadlineText(iso) {
    const diff = V.daysBetween(V.todayISO(), iso);
    if (diff === 0) return 'срок сегодня';
    if (diff === 1) return 'до завтра';
    return 'до ' + V.fmt(iso, { day: 'numeric', month: 'long' });
  }

  V.taskRow = (t, opts = {}) => {
    const day = taskDay(t);
    const meta = [];
    if (opts.showDay && day) meta.push(h('span.when' + (t.completed || day >= V.todayISO() ? '' : '.late'), V.dayLabel(day)));
    if (t.due_time) meta.push(h('span.when', t.due_time.slice(0, 5)));
    if (t.start_date && t.due_date) meta.push(h('span.when', deadlineText(t.due_date)));
    for (const tag of t.tags || []) meta.push(h('span.tag', '#' + tag));
    if (t.repeat) meta.push(h('span.ico', { title: V.repeatNames[t.repeat] || 'Повтор' }, V.icon('repeat')));
    if (t.attachment) meta.push(h('span.ico', { title: t.attachment.name }, V.icon('clip')));
    const selected = String(t.id) === V.query('task');
    return h('li.task' + (t.completed ? '.done' : '') + (t.priority ? '.p' + t.priority : '') + (selected ? '.sel' : ''),
      { 'data-id': t.id },
      h('button.check', {
        'aria-label': t.completed ? 'Вернуть в работу' : 'Отметить выполненной',
        onclick: (e) => { e.stopPropagation(); setDone(t, !t.completed); },
      }),
      h('a.body', { href: location.pathname + '?task=' + t.id, 'data-link': true },
        h('span.title', t.title),
        meta.length ? h('span.meta', meta) : null));
  };

  function groups(list) {
    return list.filter((g) => g.items.length || g.empty).map((g) => h('div.group' + (g.cls ? '.' + g.cls : ''),
      g.title ? h('h3', g.title, g.items.length ? h('span.cnt', String(g.items.length)) : null) : null,
      g.items.length ? h('ul.tasks', g.items.map((t) => V.taskRow(t, g.opts))) : h('p.empty', g.empty)));
  }

  // A page with a heading, the quick-entry field, grouped tasks and, with
  // "?task=ID", the detail panel.
  V.listPage = async ({ title, sub, load }) => {
    const list = h('section.list');
    V.reloadList = async () => {
      try { list.replaceChildren(...groups(await load())); } catch (err) { list.replaceChildren(h('p.empty', err.message)); }
    };
    await V.reloadList();
    const id = V.query('task');
    const detail = id ? await V.detail(id) : null;
    return h('div.cols' + (detail ? '.with-detail' : ''),
      h('div.main-col', h('header.head', h('h1', title), sub ? h('p.sub', sub) : null), V.quick(), list),
      detail);
  };

  V.pages.today = () => V.listPage({
    title: 'Сегодня',
    sub: V.cap(V.fmt(V.todayISO(), { weekday: 'long', day: 'numeric', month: 'long' })),
    load: async () => {
      const { items } = await V.api('GET', '/tasks?view=today');
      const today = V.todayISO();
      const late = items.filter((t) => !t.completed && (t.due_date || taskDay(t)) < today);
      const now = items.filter((t) => !t.completed && !late.includes(t));
      const done = items.filter((t) => t.completed);
      return [
        { title: 'Просрочено', items: late, cls: 'late', opts: { showDay: true } },
        { title: late.length || done.length ? 'На сегодня' : null, items: now,
          empty: now.length ? null : 'На сегодня всё. Добавьте задачу или загляните во «Входящие».' },
        { title: 'Выполнено', items: done, cls: 'done' },
      ];
    },
  });

  V.pages.inbox = () => V.listPage({
    title: 'Входящие',
    sub: 'Задачи без даты — разберите их, когда будет минутка',
    load: async () => {
      const { items } = await V.api('GET', '/tasks?view=inbox');
      return [{ items, empty: 'Во «Входящих» пусто.' }];
    },
  });

  V.pages.week = () => V.listPage({
    title: '7 дней',
    sub: 'Что впереди на неделе',
    load: async () => {
      const { items } = await V.api('GET', '/tasks?view=week');
      const today = V.todayISO();
      const out = [{ title: 'Просрочено', items: items.filter((t) => taskDay(t) < today), cls: 'late', opts: { showDay: true } }];
      for (let i = 0; i < 7; i++) {
        const day = V.addDays(today, i);
        const label = i < 2 ? V.dayLabel(day) + ' · ' + V.fmt(day, { weekday: 'long' }) : V.dayLabel(day) + ' · ' + V.fmt(day, { day: 'numeric', month: 'long' });
        out.push({ title: label, items: items.filter((t) => taskDay(t) === day), empty: 'Свободно' });
      }
      return out;
    },
  });

  // ---- the detail panel ----------------------------------------------------
  V.detail = async (id) => {
    const panel = h('aside.detail', { 'aria-label': 'Задача' });
    const closeTo = () => V.go(location.pathname);
    let task;
    const save = async (patch) => {
      try {
        task = await V.api('PUT', '/tasks/' + id, patch);
        V.changed();
        if (V.reloadList) V.reloadList();
      } catch (err) { V.toast(err.message, true); draw(); }
    };
    const field = (label, control) => h('label.field', h('span', label), control);
    const draw = () => {
      if (!task) {
        panel.replaceChildren(h('div.dhead', h('span'), h('button.icon', { onclick: closeTo, 'aria-label': 'Закрыть' }, V.icon('close'))),
          h('p.empty', 'Задача не найдена — возможно, её уже удалили.'));
        return;
      }
      const title = h('textarea.dtitle', { rows: 2, 'aria-label': 'Название', onchange: (e) => save({ title: e.target.value }) });
      title.value = task.title;
      const desc = h('textarea.desc', { rows: 5, placeholder: 'Заметки', onchange: (e) => save({ description: e.target.value }) });
      desc.value = task.description || '';
      const date = (name) => h('input', { type: 'date', value: task[name] || '', onchange: (e) => save({ [name]: e.target.value || null }) });
      const time = h('input', { type: 'time', value: task.due_time ? task.due_time.slice(0, 5) : '', onchange: (e) => save({ due_time: e.target.value || null }) });
      const prio = h('select', { onchange: (e) => save({ priority: Number(e.target.value) }) },
        V.priorityNames.map((n, i) => h('option', { value: String(i), selected: task.priority === i }, n)));
      const repeat = h('select', { onchange: (e) => save({ repeat: e.target.value || null }) },
        h('option', { value: '' }, 'Не повторять'),
        Object.entries(V.repeatNames).map(([k, n]) => h('option', { value: k, selected: task.repeat === k }, n)));
      const tags = h('input', {
        type: 'text', value: (task.tags || []).join(', '), placeholder: 'дом, работа',
        onchange: (e) => save({ tags: e.target.value.split(',').map((s) => s.trim()).filter(Boolean) }),
      });
      panel.replaceChildren(...[
        h('div.dhead',
          h('button.btn.small' + (task.completed ? '.ghost' : ''), { onclick: () => setDone(task, !task.completed) },
            task.completed ? 'Вернуть в работу' : 'Выполнено'),
          h('button.icon', { onclick: closeTo, 'aria-label': 'Закрыть' }, V.icon('close'))),
        title,
        task.completed_at ? h('p.note', 'Выполнено ' + new Date(task.completed_at).toLocaleString('ru-RU', { timeZone: V.tz() })) : null,
        h('div.grid', field('Начало', date('start_date')), field('Дедлайн', date('due_date')),
          field('Время', time), field('Приоритет', prio), field('Повтор', repeat), field('Метки', tags)),
        desc,
        task.attachment ? h('a.attach', { href: task.attachment.file },
          V.icon('clip'), h('span', task.attachment.name), h('small', 'скачать')) : null,
        h('div.dfoot',
          h('span.note', 'Создано ' + new Date(task.created_at).toLocaleDateString('ru-RU', { timeZone: V.tz() })),
          h('button.link.danger', {
            onclick: async () => {
              if (!confirm('Удалить задачу «' + task.title + '»?')) return;
              try { await V.api('DELETE', '/tasks/' + id); V.changed(); closeTo(); } catch (err) { V.toast(err.message, true); }
            },
          }, 'Удалить')),
      ].filter(Boolean));
    };
    V.reloadDetail = async () => {
      try { task = await V.api('GET', '/tasks/' + id); } catch (_) { task = null; }
      draw();
    };
    await V.reloadDetail();
    return panel;
  };
})();
