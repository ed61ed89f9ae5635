#pragma once
// Test helpers: a fresh current directory per test and configuration texts.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "ruv/platform/XMLDoc.h"
#include "ruv/provisioning/Terminals.h"

namespace ruv::provisioning::testing {

// A fresh directory made the current one for the object's life.
class TempCwd {
 public:
  TempCwd() : previous_(std::filesystem::current_path()) {
    char pattern[] = "/tmp/ruv_terminals_XXXXXX";
    dir_ = ::mkdtemp(pattern);
    std::filesystem::current_path(dir_);
  }
  ~TempCwd() {
    std::filesystem::current_path(previous_);
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }
  TempCwd(const TempCwd&) = delete;
  TempCwd& operator=(const TempCwd&) = delete;
  const std::filesystem::path& Path() const { return dir_; }

 private:
  std::filesystem::path previous_;
  std::filesystem::path dir_;
};

// A configuration document around the given children of the root.
inline std::string Config(const std::string& children, const std::string& rootAttributes = "") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<ruv_virad xmlns=\"http://ruv.local/ruv_virad\"" +
         rootAttributes + ">\r\n" + children + "</ruv_virad>\r\n";
}

struct Description {
  std::string name, target, source, hash;
};

// A file description in a document of its own (the element keeps its tree alive).
inline config::IXMLFileTypePtr Describe(const Description& d) {
  auto doc = xml::TXMLDocument::Create();
  doc->LoadFromText(Config("<terminal><exe_file><name>" + d.name + "</name><target_path>" + d.target +
                           "</target_path><source_path>" + d.source + "</source_path><hash>" + d.hash +
                           "</hash></exe_file></terminal>"));
  return config::Getruv_virad(doc)->Get_Terminal()->Get_Item(0)->Get_Exe_file();
}

inline std::string Terminal(const std::string& id, const std::string& accessMode, const std::string& extra = "") {
  return "<terminal><id>" + id + "</id><name>" + id + " name</name>" + accessMode + extra + "</terminal>";
}
inline std::string Access(const std::string& value) { return "<access_mode value=\"" + value + "\"/>"; }

inline std::string Network(const std::string& mask, const std::string& ip) {
  return "<network mask=\"" + mask + "\" ip=\"" + ip + "\"/>";
}

// Each test starts and ends without a configuration.
class TerminalsTest : public ::testing::Test {
 protected:
  void TearDown() override { TTerminals::Finalizuj(); }
};

}  // namespace ruv::provisioning::testing
