// A fresh temporary directory that becomes the working directory for one test, and is
// removed (with the old working directory restored) at the end.
#pragma once

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace talvor::testing {

class TempWorkDir {
 public:
  TempWorkDir() : old_(std::filesystem::current_path()) {
    std::random_device rd;
    dir_ = std::filesystem::temp_directory_path() /
           ("talvor-test-" + std::to_string(rd()) + "-" + std::to_string(rd()));
    std::filesystem::create_directories(dir_);
    std::filesystem::current_path(dir_);
  }
  ~TempWorkDir() {
    std::error_code ec;
    std::filesystem::current_path(old_, ec);
    std::filesystem::remove_all(dir_, ec);
  }
  TempWorkDir(const TempWorkDir&) = delete;
  TempWorkDir& operator=(const TempWorkDir&) = delete;

  const std::filesystem::path& path() const { return dir_; }

  void Write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(dir_ / name, std::ios::binary | std::ios::trunc);
    out << bytes;
  }
  std::string Read(const std::string& name) const {
    std::ifstream in(dir_ / name, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }

 private:
  std::filesystem::path old_;
  std::filesystem::path dir_;
};

}  // namespace talvor::testing
