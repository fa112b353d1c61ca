#pragma once
// A new host folder for a simulated machine, removed again with the object:
// what tests and benchmarks lay their machines out in.
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>

namespace sim {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "ondrel-test") {
    std::string tmpl = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("cannot create a temporary folder");
    path_ = tmpl;
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

}  // namespace sim
