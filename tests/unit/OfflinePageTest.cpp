#include "web/OfflinePage.h"

#include <gtest/gtest.h>

using vuko::offlinePage;

// The reason is our own text and shows literally; the server address is
// whatever the user once typed and is shown as text.
TEST(OfflinePageTest, ShowsTheReasonAndTheAddressAsTextWithButtonsThatPost) {
  std::string page = offlinePage("a <b> & c", "http://a<img src=x onerror=alert(1)>&\"'");
  EXPECT_NE(page.find(">a &lt;b> & c<"), std::string::npos) << page;
  EXPECT_NE(page.find("<code>http://a&lt;img src=x onerror=alert(1)&gt;&amp;&quot;&#39;</code>"),
            std::string::npos);
  EXPECT_EQ(page.find("<img"), std::string::npos);
  EXPECT_NE(page.find("postMessage({type:'retry'})"), std::string::npos);
  EXPECT_NE(page.find("postMessage({type:'chooseServer'})"), std::string::npos);
}
