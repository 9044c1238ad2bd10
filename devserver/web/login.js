// Sign-in and sign-up.
'use strict';

(() => {
  const h = V.h;

  V.pages.login = (app) => {
    app.dataset.shell = '';
    document.body.className = 'auth';
    let signup = false;
    const email = h('input#email', { type: 'email', autocomplete: 'username', placeholder: 'you@example.com', required: true });
    const password = h('input#password', { type: 'password', autocomplete: 'current-password', required: true });
    const name = h('input#name', { type: 'text', autocomplete: 'name', placeholder: 'Как к вам обращаться' });
    const nameField = h('label.field', { hidden: true }, h('span', 'Имя'), name);
    const error = h('p.error', { role: 'alert' });
    const submit = h('button.btn.wide', { type: 'submit' }, 'Войти');
    const heading = h('h1', 'Вход в Vuko');
    const toggle = h('button.link', { type: 'button' }, 'Создать аккаунт');
    toggle.addEventListener('click', () => {
      signup = !signup;
      heading.textContent = signup ? 'Новый аккаунт' : 'Вход в Vuko';
      submit.textContent = signup ? 'Создать аккаунт' : 'Войти';
      toggle.textContent = signup ? 'У меня уже есть аккаунт' : 'Создать аккаунт';
      nameField.hidden = !signup;
      password.autocomplete = signup ? 'new-password' : 'current-password';
      error.textContent = '';
    });
    const form = h('form.auth-card', {
      onsubmit: async (e) => {
        e.preventDefault();
        error.textContent = '';
        submit.disabled = true;
        try {
          const body = { email: email.value.trim(), password: password.value };
          if (signup) body.name = name.value.trim();
          const r = await V.api('POST', signup ? '/auth/register' : '/auth/login', body);
          localStorage.setItem('token', r.token);
          localStorage.setItem('user', JSON.stringify(r.user));
          location.replace('/today');
        } catch (err) {
          error.textContent = err.message;
          submit.disabled = false;
        }
      },
    },
    h('div.auth-logo', V.logo()),
    heading,
    h('p.sub', 'Задачи, напоминания и фокус — в одном месте'),
    h('label.field', h('span', 'Почта'), email),
    h('label.field', h('span', 'Пароль'), password),
    nameField,
    error,
    submit,
    h('div.auth-alt', toggle),
    h('p.server-line', 'Сервер: ', h('code', location.origin)));
    app.replaceChildren(h('div.auth-wrap', form));
    if (!email.value) email.focus();
  };
})();
