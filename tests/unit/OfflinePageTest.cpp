#include <gtest/gtest.h>

#include "web/OfflinePage.h"

using vuko::offlinePage;

TEST(OfflinePageTest, ReasonShowsLiterallyWithOnlyAngleBracketEscaped) {
  std::string page = offlinePage("a <b> & c", "http://127.0.0.1:5300");
  EXPECT_NE(page.find("<p class=\"why\">a &lt;b> & c</p>"), std::string::npos) << page;
  EXPECT_NE(page.find("Не удаётся открыть <code>http://127.0.0.1:5300</code>. Проверьте интернет — "
                      "или подключитесь к другому серверу."),
            std::string::npos);
}

TEST(OfflinePageTest, ButtonsPostBridgeMessagesDirectly) {
  std::string page = offlinePage("x", "https://s.example");
  EXPECT_NE(page.find("postMessage({type:'retry'})\">Повторить</button>"), std::string::npos);
  EXPECT_NE(
      page.find("<button class=\"sec\" "
                "onclick=\"window.webkit.messageHandlers.vuko.postMessage({type:'chooseServer'})\">"
                "Другой сервер…</button>"),
      std::string::npos);
  EXPECT_NE(page.find("<html lang=\"ru\">"), std::string::npos);
  EXPECT_NE(page.find("<h1>Нет связи с сервером</h1>"), std::string::npos);
  EXPECT_NE(page.find("prefers-color-scheme: dark"), std::string::npos);
}

// A server address is whatever the user once typed; it is shown as text.
TEST(OfflinePageTest, ServerAddressIsEscaped) {
  std::string page = offlinePage("x", "http://a<img src=x onerror=alert(1)>&\"'");
  EXPECT_NE(page.find("<code>http://a&lt;img src=x onerror=alert(1)&gt;&amp;&quot;&#39;</code>"),
            std::string::npos)
      << page;
  EXPECT_EQ(page.find("<img"), std::string::npos);
}
