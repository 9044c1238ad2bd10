// The client's defaults store: typed values under string keys.
//
// Values are kept as JSON. Data and dates have no JSON type of their own, so
// they are stored as the tagged objects {"$data": base64} and {"$date": ISO
// 8601 UTC}; the typed getters accept a value only when it has their type.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace vuko {

class Defaults {
 public:
  using Json = nlohmann::json;
  using Bytes = std::vector<std::uint8_t>;
  using Date = std::chrono::system_clock::time_point;

  virtual ~Defaults() = default;

  virtual std::optional<Json> value(const std::string& key) const = 0;
  virtual void setValue(const std::string& key, Json value) = 0;
  virtual void remove(const std::string& key) = 0;

  std::optional<std::string> string(const std::string& key) const;
  std::optional<bool> boolean(const std::string& key) const;
  std::optional<double> number(const std::string& key) const;
  std::optional<std::vector<std::string>> stringArray(const std::string& key) const;
  std::optional<Json> array(const std::string& key) const;
  std::optional<Json> dictionary(const std::string& key) const;
  std::optional<Bytes> data(const std::string& key) const;
  std::optional<Date> date(const std::string& key) const;

  void setString(const std::string& key, const std::string& v) { setValue(key, v); }
  void setBool(const std::string& key, bool v) { setValue(key, v); }
  void setNumber(const std::string& key, double v) { setValue(key, v); }
  void setStringArray(const std::string& key, const std::vector<std::string>& v) {
    setValue(key, v);
  }
  void setArray(const std::string& key, Json v);
  void setDictionary(const std::string& key, Json v);
  void setData(const std::string& key, const Bytes& v);
  void setDate(const std::string& key, Date v);

  // The store the client uses; tests replace it with an in-memory one.
  static Defaults& standard();
  static void setStandard(std::shared_ptr<Defaults> d);
};

class MemoryDefaults : public Defaults {
 public:
  std::optional<Json> value(const std::string& key) const override;
  void setValue(const std::string& key, Json value) override;
  void remove(const std::string& key) override;
  const std::map<std::string, Json>& all() const { return values_; }

 protected:
  std::map<std::string, Json> values_;
};

// A JSON object in one file, rewritten atomically (temp file, fsync, rename)
// after every change. A file that cannot be read as a JSON object is moved
// aside (never overwritten) and the store starts empty. A failed write is
// logged as a warning and shows in saved().
class FileDefaults final : public MemoryDefaults {
 public:
  explicit FileDefaults(std::filesystem::path file);

  void setValue(const std::string& key, Json value) override;
  void remove(const std::string& key) override;

  const std::filesystem::path& file() const { return file_; }
  // Where a corrupt file was moved at load, if that happened.
  const std::optional<std::filesystem::path>& setAside() const { return setAside_; }
  // Whether the last write reached the disk.
  bool saved() const { return saved_; }

  // $XDG_CONFIG_HOME/vuko/defaults.json
  static std::filesystem::path defaultFile();

 private:
  void load();
  void save();
  // Writes the file; the reason when that failed.
  std::optional<std::string> write();
  std::filesystem::path file_;
  std::optional<std::filesystem::path> setAside_;
  bool unmovable_ = false;
  bool saved_ = true;
};

}  // namespace vuko
