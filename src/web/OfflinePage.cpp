#include "web/OfflinePage.h"

namespace vuko {

namespace {

std::string escapeAngle(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '<')
      out += "&lt;";
    else
      out += c;
  }
  return out;
}

constexpr const char* kStyle =
    "body{font:15px -apple-system,sans-serif;display:flex;align-items:center;"
    "justify-content:center;height:100vh;margin:0;background:#f7f8fa;color:#101217}"
    ".c{text-align:center;max-width:420px;padding:24px}"
    ".m{width:56px;height:56px;border-radius:16px;background:#2d55f5;margin:0 auto 18px;"
    "display:flex;align-items:center;justify-content:center}"
    "h1{font-size:20px;margin:0 0 8px}"
    "p{color:#5b616c;margin:0 0 18px;line-height:1.5}"
    "button{font:600 15px -apple-system,sans-serif;background:#101217;color:#fff;border:0;"
    "border-radius:10px;padding:11px 22px;cursor:pointer}"
    "code{background:#eceef2;padding:2px 6px;border-radius:6px}"
    "button.sec{background:transparent;color:#2d55f5;margin-left:8px}"
    ".why{font-size:12px;margin-top:-8px}"
    "@media (prefers-color-scheme: dark){"
    "body{background:#15181c;color:#f4f5f7}"
    "p{color:#a3a9b4}"
    "code{background:#23262d}"
    "button{background:#2d55f5}"
    "}";

std::string escapeHtml(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '&':
        out += "&amp;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string offlinePage(const std::string& reason, const std::string& server,
                        std::optional<int> retryIn) {
  std::string html;
  html += "<!doctype html><html lang=\"ru\"><head><meta charset=\"utf-8\"><style>";
  html += kStyle;
  html += "</style></head><body><div class=\"c\">";
  html +=
      "<div class=\"m\"><svg width=\"30\" height=\"30\" viewBox=\"0 0 24 24\" fill=\"none\" "
      "stroke=\"#fff\" stroke-width=\"3\" stroke-linecap=\"round\" stroke-linejoin=\"round\">"
      "<path d=\"M5 12.5l4.5 4.5L19 7.5\"/></svg></div>";
  html += "<h1>Нет связи с сервером</h1>";
  html += "<p>Не удаётся открыть <code>" + escapeHtml(server) +
          "</code>. Проверьте интернет — или подключитесь к другому серверу.</p>";
  html += "<p class=\"why\">" + escapeAngle(reason) + "</p>";
  if (retryIn) {
    const std::string n = std::to_string(*retryIn);
    html +=
        "<p class=\"why\" id=\"auto\">Повторим автоматически через <span id=\"n\">" + n +
        "</span> с</p><script>{let n=" + n +
        ";const t=setInterval(()=>{if(--n>0){document.getElementById('n').textContent=n;return;}"
        "clearInterval(t);document.getElementById('auto').textContent='Проверяем связь…';},"
        "1000);}</script>";
  }
  html +=
      "<button onclick=\"window.webkit.messageHandlers.vuko.postMessage({type:'retry'})\">"
      "Повторить</button>";
  html +=
      "<button class=\"sec\" "
      "onclick=\"window.webkit.messageHandlers.vuko.postMessage({type:'chooseServer'})\">"
      "Другой сервер…</button>";
  html += "</div></body></html>";
  return html;
}

}  // namespace vuko
