// A scratch folder for the resource tests, and a loader's answer in a form
// that reads well in an expectation.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "lumora/io/resource_loader.h"

namespace lumora::testing {

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "lumora-resources-XXXXXX").string();
    dir_ = std::filesystem::path(::mkdtemp(pattern.data())).lexically_normal();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }

  std::string Path(const std::string& name) const { return (dir_ / name).string(); }
  std::string Put(const std::string& name, const std::string& bytes) const {
    const std::filesystem::path path = dir_ / name;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  // Options that read nothing but what a test names: no catalogs, no
  // resolver.
  static TResourceOptions Plain() { return TResourceOptions{}; }

  // The bytes read, or "<none>".
  static std::string Load(const TResourceOptions& options, std::u16string_view system,
                          const std::string& base = {}, std::u16string_view publicId = {},
                          std::string* location = nullptr) {
    TResourceLoader loader(options);
    TResource resource;
    if (!loader.Load(system, publicId, base, resource)) return "<none>";
    if (location) *location = resource.Location;
    return resource.Bytes;
  }

  std::filesystem::path dir_;
};

}  // namespace lumora::testing
