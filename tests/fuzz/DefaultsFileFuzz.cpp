// The settings file as found on disk: it loads, or it is set aside with its
// bytes kept, and what loads survives a save and a reload.
#include <glib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "Check.h"
#include "platform/Defaults.h"

namespace fs = std::filesystem;
using Json = nlohmann::json;

namespace {

const fs::path& dir() {
  static const fs::path d = [] {
    // Memory-backed when the machine has it: every save syncs the file.
    const char* base = g_file_test("/dev/shm", G_FILE_TEST_IS_DIR) ? "/dev/shm" : g_get_tmp_dir();
    std::string templ = std::string(base) + "/vuko-fuzz-XXXXXX";
    return fs::path(g_mkdtemp(templ.data()));
  }();
  return d;
}

std::string slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  fs::remove_all(dir());
  fs::create_directories(dir());
  const fs::path file = dir() / "defaults.json";
  {
    std::ofstream out(file, std::ios::binary);
    out << bytes;
  }

  std::map<std::string, Json> loaded;
  {
    vuko::FileDefaults d(file);
    Json parsed = Json::parse(bytes, nullptr, false);
    if (d.setAside()) {
      FUZZ_CHECK(!parsed.is_object(), "a JSON object is never set aside");
      FUZZ_CHECK(!fs::exists(file), "the set-aside file left its place");
      FUZZ_CHECK(slurp(*d.setAside()) == bytes, "a set-aside file keeps its bytes");
      FUZZ_CHECK(d.all().empty(), "a set-aside file gives an empty store");
    } else {
      FUZZ_CHECK(parsed.is_object(), "only a JSON object loads");
      FUZZ_CHECK(slurp(file) == bytes, "loading leaves the file as it was");
      for (auto& [k, v] : parsed.items())
        FUZZ_CHECK(d.all().count(k) && d.all().at(k) == v, "every member loads");
      FUZZ_CHECK(d.all().size() == parsed.size(), "nothing else loads");
    }
    // A save writes every value; reading it back gives the same store.
    d.setString("fuzz.marker", "ok");
    FUZZ_CHECK(d.saved(), "the save reached the file");
    loaded = d.all();
  }
  vuko::FileDefaults again(file);
  FUZZ_CHECK(!again.setAside(), "a saved file loads");
  const auto& reread = again.all();
  FUZZ_CHECK(reread.size() == loaded.size(), "a reload has as many values");
  for (auto& [k, v] : loaded) {
    auto it = reread.find(k);
    FUZZ_CHECK(it != reread.end(), "a reload has every key");
    // Strings that are not UTF-8 are written with replacement characters.
    if (it->second != v)
      FUZZ_CHECK(v.dump(-1, ' ', false, Json::error_handler_t::replace) ==
                     it->second.dump(-1, ' ', false, Json::error_handler_t::replace),
                 "a reload has every value");
  }
  FUZZ_CHECK(again.string("fuzz.marker") == std::optional<std::string>("ok"), "the new value");
  return 0;
}
