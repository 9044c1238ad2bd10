// Settings: account and time zone, tasks and notifications (?tab=tasks), and
// the advanced page with the hot keys (/settings/advanced#hotkeys).
'use strict';

(() => {
  const h = V.h;

  // ---- hot keys pushed by the desktop client --------------------------------
  V.hotkeys = null;
  window.__vukoMacHotkeys = (list) => {
    V.hotkeys = list && typeof list === 'object' ? list : null;
    const box = document.querySelector('.hks');
    if (box) drawDesktopRows(box);
  };

  const keyName = (code) => {
    const names = {
      Space: 'Пробел', Enter: '↩', Escape: 'Esc', Backspace: '⌫', Tab: '⇥', ArrowUp: '↑', ArrowDown: '↓',
      ArrowLeft: '←', ArrowRight: '→', Minus: '-', Equal: '=', Comma: ',', Period: '.', Slash: '/',
      Backslash: '\\', Semicolon: ';', Quote: "'", Backquote: '`', BracketLeft: '[', BracketRight: ']',
    };
    if (names[code]) return names[code];
    if (/^Key[A-Z]$/.test(code)) return code.slice(3);
    if (/^Digit\d$/.test(code)) return code.slice(5);
    return code;
  };
  // The client words the combination for its desktop and tells whether the system took it.
  const symbols = (c) => (c.ctrl ? '⌃' : '') + (c.alt ? '⌥' : '') + (c.shift ? '⇧' : '') + (c.meta ? '⌘' : '') + keyName(c.code);
  V.comboText = (c) => (c ? (typeof c.title === 'string' ? c.title : symbols(c)) + (c.registered === false ? ' — не зарегистрировано' : '') : 'выключено');

  const desktop = [
    ['quick', 'Быстрая задача из любой программы'],
    ['show', 'Показать окно Vuko'],
    ['focus', 'Помодоро поверх всех окон'],
  ];

  function capture(id, row) {
    const keys = row.querySelector('.hk-keys');
    keys.textContent = 'Нажмите сочетание… Esc — отмена, ⌫ — выключить';
    row.classList.add('capturing');
    window.__vukoCapturing = true;
    V.post({ type: 'pauseGlobalHotkeys' });
    const done = (combo, set) => {
      window.removeEventListener('keydown', onKey, true);
      window.__vukoCapturing = false;
      row.classList.remove('capturing');
      if (set) V.post({ type: 'setGlobalHotkey', id, combo });
      V.post({ type: 'resumeGlobalHotkeys' });
      drawDesktopRows(row.parentElement);
    };
    const onKey = (e) => {
      e.preventDefault();
      e.stopPropagation();
      if (['ShiftLeft', 'ShiftRight', 'ControlLeft', 'ControlRight', 'AltLeft', 'AltRight', 'MetaLeft', 'MetaRight'].includes(e.code)) return;
      if (e.code === 'Escape') { done(null, false); return; }
      if (e.code === 'Backspace' || e.code === 'Delete') { done(null, true); return; }
      if (!e.ctrlKey && !e.altKey && !e.metaKey && !/^F\d+$/.test(e.code)) {
        keys.textContent = 'Нужна клавиша-модификатор: ⌘, ⌥ или ⌃';
        return;
      }
      done({ code: e.code, ctrl: e.ctrlKey, alt: e.altKey, shift: e.shiftKey, meta: e.metaKey }, true);
    };
    window.addEventListener('keydown', onKey, true);
  }

  function drawDesktopRows(box) {
    box.querySelectorAll('.hk-row.desktop').forEach((r) => r.remove());
    for (const [id, name] of desktop) {
      const combo = V.hotkeys ? V.hotkeys[id] : null;
      const row = h('li.hk-row.desktop' + (V.inClient() ? '' : '.off'), { 'data-id': id },
        h('span.hk-name', name),
        h('span.hk-keys', V.inClient() ? (V.hotkeys ? V.comboText(combo) : '…') : 'в приложении для компьютера'));
      if (V.inClient()) {
        row.append(h('span.hk-actions',
          h('button.btn.ghost.small', { onclick: () => capture(id, row) }, 'Изменить'),
          combo ? h('button.link', { onclick: () => V.post({ type: 'setGlobalHotkey', id, combo: null }) }, 'Выключить') : null));
      }
      box.append(row);
    }
  }

  // ---- controls bound to a settings member ---------------------------------
  async function put(patch) {
    try {
      V.settings = await V.api('PUT', '/settings', patch);
      V.toast('Сохранено');
    } catch (err) { V.toast(err.message, true); V.render(); }
  }
  const check = (id, member) => h('input#' + id, { type: 'checkbox', checked: !!V.settings[member], onchange: (e) => put({ [member]: e.target.checked }) });
  const time = (id, member) => h('input#' + id, { type: 'time', value: V.settings[member], onchange: (e) => e.target.value && put({ [member]: e.target.value }) });
  const row = (label, hint, control, extra) => h('div.set-row' + (extra || ''), h('div', h('div.set-label', label), hint ? h('div.set-hint', hint) : null), control);

  function permissionText() {
    if (typeof Notification !== 'function') return 'не поддерживаются';
    return { granted: 'разрешены', denied: 'запрещены', default: 'ещё не спрашивали' }[Notification.permission] || String(Notification.permission);
  }

  function general() {
    const user = V.user() || {};
    let zones = [];
    try { zones = Intl.supportedValuesOf('timeZone'); } catch (_) {
      zones = ['Europe/Kaliningrad', 'Europe/Moscow', 'Europe/Samara', 'Asia/Yekaterinburg', 'Asia/Omsk', 'Asia/Novosibirsk', 'Asia/Krasnoyarsk', 'Asia/Irkutsk', 'Asia/Yakutsk', 'Asia/Vladivostok', 'Asia/Magadan', 'Asia/Kamchatka', 'UTC'];
    }
    if (!zones.includes(V.settings.timezone)) zones.unshift(V.settings.timezone);
    const tz = h('select#s-timezone', { onchange: (e) => put({ timezone: e.target.value }).then(() => V.render()) },
      zones.map((z) => h('option', { value: z, selected: z === V.settings.timezone }, z.replace(/_/g, ' '))));
    return h('section.set-card', h('h2', 'Аккаунт'),
      row('Почта', null, h('span.value', user.email || '—')),
      row('Имя', null, h('span.value', user.name || '—')),
      row('Часовой пояс', 'По нему считаются «Сегодня» и время напоминаний', tz),
      row('Сервер', null, h('code.value', location.origin)),
      h('div.set-actions', h('button.btn.ghost', { onclick: () => V.signOut(true) }, 'Выйти из аккаунта')));
  }

  function tasksTab() {
    const before = h('select#s-remindBefore', { onchange: (e) => put({ remindBefore: Number(e.target.value) }) },
      [0, 5, 10, 15, 30, 60, 120].map((m) => h('option', { value: String(m), selected: V.settings.remindBefore === m },
        m === 0 ? 'В момент начала' : m < 60 ? 'За ' + m + ' мин' : 'За ' + m / 60 + ' ч')));
    const perm = h('span.value', permissionText());
    const permButton = h('button.btn.ghost.small', {
      onclick: async () => {
        if (typeof Notification !== 'function') return;
        try { await Notification.requestPermission(); } catch (_) { /* answered by the event */ }
        perm.textContent = permissionText();
      },
    }, 'Запросить');
    window.addEventListener('vukonotifypermission', () => { perm.textContent = permissionText(); });
    const mac = V.inClient();
    return h('section.set-card#notifications', h('h2', 'Напоминания'),
      row('Напоминать о задаче со временем', 'Например, о задаче на 10:00 — в 9:45', before),
      row('Напоминать о задачах без времени', 'В этот час в день задачи', time('s-autoRemindTime', 'autoRemindTime')),
      row('План на день', 'Утренняя сводка задач на сегодня', h('span.pair', check('s-dailyDigest', 'dailyDigest'), time('s-dailyDigestTime', 'dailyDigestTime'))),
      h('div.set-slot-item#slot-mac-notify', { hidden: !mac },
        row('Напоминания от приложения Vuko', 'Приходят, даже когда окно закрыто', check('s-macNotify', 'macNotify'))),
      h('div.set-slot-item#slot-mac-permission', { hidden: !mac },
        row('Системные уведомления', 'Разрешение для приложения', h('span.pair', perm, permButton))),
      mac ? null : row('Уведомления в браузере', 'Пока вкладка открыта', h('span.pair', check('s-webNotify', 'webNotify'), perm, permButton)));
  }

  function advanced() {
    const box = h('ul.hks',
      [['Командная строка', '⌘K · Ctrl+K'], ['Новая задача', 'N'], ['Разделы', '1 – 5'], ['Закрыть панель или поле', 'Esc']]
        .map(([n, k]) => h('li.hk-row', h('span.hk-name', n), h('span.hk-keys', k))));
    drawDesktopRows(box);
    V.post({ type: 'getGlobalHotkeys' });
    return [
      h('section.set-card#hotkeys', h('h2', 'Горячие клавиши'),
        h('p.set-hint', V.inClient() ? 'Глобальные сочетания работают из любой программы.' : 'Глобальные сочетания настраиваются в приложении Vuko для компьютера.'),
        box),
      h('section.set-card', h('h2', 'О сервисе'),
        row('Справка', null, h('a', { href: 'https://example.com/vuko/help' }, 'example.com/vuko/help')),
        row('Поддержка', null, h('a', { href: 'mailto:support@vuko.local' }, 'support@vuko.local')),
        row('Мини-помодоро', null, h('a', { href: '/mini-focus', target: '_blank' }, 'Открыть в новом окне'))),
    ];
  }

  V.pages.settings = async (which) => {
    if (!V.settings) {
      try { V.settings = await V.api('GET', '/settings'); } catch (err) { return h('p.empty', err.message); }
    }
    const tab = which === 'advanced' ? 'advanced' : V.query('tab') === 'tasks' ? 'tasks' : 'general';
    const tabs = [['general', 'Общие', '/settings'], ['tasks', 'Задачи и уведомления', '/settings?tab=tasks'], ['advanced', 'Дополнительно', '/settings/advanced']];
    return h('div.main-col.settings',
      h('header.head', h('h1', 'Настройки')),
      h('nav.tabs', tabs.map(([id, name, href]) => h('a' + (id === tab ? '.on' : ''), { href, 'data-link': true }, name))),
      tab === 'general' ? general() : tab === 'tasks' ? tasksTab() : advanced());
  };
})();
