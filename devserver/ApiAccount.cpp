// Health, sign-in and settings.
#include <glib.h>

#include "devserver/Api.h"
#include "devserver/Secrets.h"

namespace vuko::dev {

namespace {

nlohmann::json userJson(const User& u) {
  return {{"id", u.id}, {"email", u.email}, {"name", u.name}};
}

std::string normalEmail(const std::string& email) {
  gchar* s = g_utf8_strdown(email.c_str(), -1);
  std::string out = g_strstrip(s);
  g_free(s);
  return out;
}

// Reads {"email", "password"}; 422 when either is missing or not a string.
std::pair<std::string, std::string> credentials(const nlohmann::json& body) {
  FieldErrors errors;
  for (const char* name : {"email", "password"})
    if (!body.contains(name) || !body[name].is_string()) errors.add(name, "нужна строка");
  errors.check();
  return {normalEmail(body["email"].get<std::string>()), body["password"].get<std::string>()};
}

}  // namespace

Response Api::health(Call&) {
  return Response::json(200, {{"ok", true}, {"service", "vuko"}});
}

Response Api::login(Call& call) {
  auto body = jsonObject(call.request);
  auto [email, password] = credentials(body);
  auto user = store_.userByEmail(email);
  auto check =
      user ? checkPassword(user->passwordHash, user->salt, password) : PasswordCheck::Wrong;
  if (check == PasswordCheck::Wrong) throw HttpError(401, "Неверный e-mail или пароль");
  if (check == PasswordCheck::RightButOutdated)
    store_.setPasswordHash(user->id, hashPassword(password));
  std::string token = randomToken();
  store_.addToken(token, user->id, clock_());
  return Response::json(200, {{"token", token}, {"user", userJson(*user)}});
}

Response Api::signup(Call& call) {
  auto body = jsonObject(call.request);
  auto [email, password] = credentials(body);
  FieldErrors errors;
  if (email.find('@') == std::string::npos || email.size() > 200)
    errors.add("email", "нужен адрес электронной почты");
  if (password.size() < 4) errors.add("password", "не короче 4 символов");
  if (body.contains("name") && !body["name"].is_string()) errors.add("name", "нужна строка");
  errors.check();
  std::string name = body.value("name", std::string());
  if (name.empty()) name = email.substr(0, email.find('@'));

  Store::Transaction tx(store_);
  if (store_.userByEmail(email)) throw HttpError(409, "Такой пользователь уже есть");
  User user{0, email, name, {}, hashPassword(password)};
  user.id = store_.addUser(user);
  std::string token = randomToken();
  store_.addToken(token, user.id, clock_());
  tx.commit();
  return Response::json(201, {{"token", token}, {"user", userJson(user)}});
}

Response Api::logout(Call& call) {
  store_.dropToken(call.token);
  return Response::json(200, {{"ok", true}});
}

Response Api::me(Call& call) {
  auto user = store_.user(call.userId);
  if (!user) throw HttpError(401, "Вход истёк — войдите снова");
  return Response::json(200, userJson(*user));
}

Response Api::getSettings(Call& call) {
  return Response::json(200, settingsOf(call.userId).toJson());
}

Response Api::putSettings(Call& call) {
  auto body = jsonObject(call.request);
  UserSettings settings = settingsOf(call.userId);
  settings.apply(body);
  store_.saveSettings(call.userId, settings.toJson().dump());
  return Response::json(200, settings.toJson());
}

}  // namespace vuko::dev
