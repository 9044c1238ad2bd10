// The shell around the pages, start-up, reminders in the browser, the cookie
// notice and keyboard shortcuts.
'use strict';

(() => {
  const h = V.h;
  const nav = [
    ['/today', 'Сегодня', 'today', 'today'],
    ['/inbox', 'Входящие', 'inbox', 'inbox'],
    ['/week', '7 дней', 'week', 'week'],
    ['/calendar', 'Календарь', 'calendar', null],
    ['/focus', 'Фокус', 'focus', null],
  ];
  const pages = {
    '/today': () => V.pages.today(),
    '/inbox': () => V.pages.inbox(),
    '/week': () => V.pages.week(),
    '/calendar': () => V.pages.calendar(),
    '/focus': () => V.pages.focus(),
    '/settings': () => V.pages.settings(),
    '/settings/advanced': () => V.pages.settings('advanced'),
  };

  function sidebar(path) {
    const user = V.user();
    return h('nav.side', { 'aria-label': 'Разделы' },
      h('a.brand', { href: '/today', 'data-link': true }, V.logo(), h('span', 'Vuko')),
      h('ul.nav',
        nav.map(([href, title, icon, count]) => h('li',
          h('a' + (path === href ? '.on' : ''), { href, 'data-link': true },
            V.icon(icon), h('span.t', title), count ? h('span.n', { 'data-count': count }) : null)))),
      h('div.side-foot',
        h('a' + (path.startsWith('/settings') ? '.on' : ''), { href: '/settings', 'data-link': true },
          V.icon('settings'), h('span.t', 'Настройки')),
        h('div.links',
          h('a', { href: '/mini-focus', target: '_blank', title: 'Помодоро в отдельном окне' }, 'Мини-помодоро'),
          h('a', { href: 'https://example.com/vuko/help', title: 'Справка на сайте' }, 'Справка'),
          h('a', { href: 'mailto:support@vuko.local?subject=Vuko' }, 'Написать нам')),
        h('div.who',
          h('span.mail', { title: user ? user.email : '' }, user ? user.name || user.email : ''),
          h('button.link', { onclick: () => V.signOut(true) }, 'Выйти'))));
  }

  let renderSeq = 0;
  V.render = async () => {
    const path = V.path();
    const app = document.getElementById('app');
    app.classList.remove('booting');
    if (path === '/login') { V.pages.login(app); return; }
    if (!V.token()) { location.replace('/login'); return; }
    if (path === '/mini-focus') { document.body.className = 'mini'; V.pages.miniFocus(app); return; }
    document.body.className = '';
    const page = pages[path] || (path.startsWith('/settings') ? pages['/settings'] : null);
    if (!page) { V.go('/today'); return; }
    const seq = ++renderSeq;
    let main = app.querySelector('main.page');
    if (!main || app.dataset.shell !== '1') {
      app.replaceChildren();
      app.dataset.shell = '1';
      main = h('main.page');
      app.append(h('div.shell', sidebar(path), main));
    } else {
      app.querySelector('nav.side').replaceWith(sidebar(path));
    }
    V.refreshCounts();
    const content = await page();
    if (seq !== renderSeq) return;  // a later navigation won
    main.replaceChildren(...[].concat(content || []));
    const hash = location.hash && document.getElementById(location.hash.slice(1));
    if (hash) hash.scrollIntoView();
  };

  // Another tab or the desktop client changed something: show fresh data.
  window.addEventListener('focus', () => {
    if (!V.token() || window.__vukoCapturing || !['/today', '/inbox', '/week', '/calendar'].includes(V.path())) return;
    if (document.activeElement && document.activeElement.matches('input, textarea, select')) {
      V.refreshCounts();
      return;
    }
    V.render();
  });

  // ---- reminders shown by the page when the desktop client does not -------
  const shownKey = 'shownReminders';
  async function pollReminders() {
    if (!V.token() || window.vukoMacReminders === true) return;
    if (V.settings && V.settings.webNotify === false) return;
    if (typeof Notification !== 'function' || Notification.permission !== 'granted') return;
    let data;
    try { data = await V.api('GET', '/reminders/upcoming?hours=1'); } catch (_) { return; }
    let seen = [];
    try { seen = JSON.parse(localStorage.getItem(shownKey) || '[]'); } catch (_) { seen = []; }
    const now = Date.now();
    for (const r of data.items || []) {
      if (r.shown || seen.includes(r.id) || Date.parse(r.remind_at) > now + 1000) continue;
      try { new Notification(r.title || 'Vuko', { body: r.body || '', tag: String(r.id) }); } catch (_) { /* blocked */ }
      seen.push(r.id);
      V.api('POST', '/reminders/' + encodeURIComponent(r.id) + '/fired').catch(() => {});
    }
    localStorage.setItem(shownKey, JSON.stringify(seen.slice(-200)));
  }
  setInterval(pollReminders, 30000);

  // ---- cookie notice ---------------------------------------------------------
  function cookieNotice() {
    if (localStorage.getItem('cookieConsent.v2')) return;
    const bar = h('div.cookie', { role: 'dialog', 'aria-label': 'Cookie' },
      h('span', 'Vuko хранит вход и настройки в вашем браузере. Только необходимое — без рекламы и слежки.'),
      h('button.btn.small', { onclick: () => { localStorage.setItem('cookieConsent.v2', 'necessary'); bar.remove(); } }, 'Понятно'));
    document.body.append(bar);
  }

  // ---- keyboard: ⌘K / Ctrl+K command line, N new task, 1–5 sections -------
  function palette() {
    if (document.querySelector('.palette')) return;
    const items = nav.map(([href, title]) => [title, href]).concat([
      ['Настройки', '/settings'], ['Уведомления', '/settings?tab=tasks'],
      ['Горячие клавиши', '/settings/advanced#hotkeys'], ['Мини-помодоро', '/mini-focus'],
    ]);
    const list = h('ul');
    const input = h('input', { placeholder: 'Куда перейти или новая задача…', 'aria-label': 'Командная строка' });
    const close = () => overlay.remove();
    const draw = () => {
      const q = input.value.trim().toLowerCase();
      const found = items.filter(([t]) => t.toLowerCase().includes(q));
      list.replaceChildren(...found.map(([t, href], i) => h('li' + (i === 0 ? '.on' : ''),
        { onclick: () => { close(); V.go(href); } }, t)));
      if (q && !found.length) list.append(h('li.on.add', 'Добавить задачу «' + input.value.trim() + '»'));
    };
    input.addEventListener('input', draw);
    input.addEventListener('keydown', async (e) => {
      if (e.key === 'Escape') close();
      if (e.key !== 'Enter') return;
      const first = list.querySelector('li');
      if (first && !first.classList.contains('add')) { first.click(); return; }
      if (!input.value.trim()) return;
      try {
        await V.api('POST', '/tasks', { title: input.value.trim(), smart: true });
        close(); V.toast('Задача добавлена'); V.changed(); V.render();
      } catch (err) { V.toast(err.message, true); }
    });
    const overlay = h('div.palette', { onclick: (e) => { if (e.target === overlay) close(); } },
      h('div.box', input, list));
    document.body.append(overlay);
    draw();
    input.focus();
  }
  window.addEventListener('keydown', (e) => {
    if (!V.token() || V.path() === '/login' || V.path() === '/mini-focus') return;
    if ((e.metaKey || e.ctrlKey) && e.key.toLowerCase() === 'k') { e.preventDefault(); palette(); return; }
    const typing = e.target && e.target.matches && e.target.matches('input, textarea, select, [contenteditable]');
    if (typing || e.metaKey || e.ctrlKey || e.altKey || window.__vukoCapturing) return;
    if (e.key === 'n' || e.key === 'т') {
      const q = document.querySelector('.quick input');
      if (q) { e.preventDefault(); q.focus(); }
    }
    const n = Number(e.key);
    if (n >= 1 && n <= nav.length) V.go(nav[n - 1][0]);
  });

  // ---- start ----------------------------------------------------------------
  async function boot() {
    if (V.token() && V.path() !== '/login') {
      try { V.settings = await V.api('GET', '/settings'); } catch (_) { /* signed out or offline */ }
    }
    await V.render();
    if (V.path() !== '/mini-focus') cookieNotice();
    pollReminders();
  }
  boot();
})();
