#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "ruv/config/XMLBinding.h"
#include "ruv/platform/Files.h"
#include "ruv/platform/Graphics.h"
#include "ruv/provisioning/FileVersion.h"

namespace {

using namespace ruv;

const std::string kDeclaration = R"(<?xml version="1.0" encoding="windows-1250"?>)";

std::string Root() {
  const char* root = std::getenv("RUV_DEMO_SERVER_ROOT");
  return root != nullptr ? root : "";
}

// Where the server keeps a described file: its source path (backslashes
// separating folders) below the root, then its name.
std::string ServedPath(const config::IXMLFileTypePtr& file) {
  std::string source = file->Get_Source_path();
  for (char& c : source)
    if (c == '\\') c = '/';
  return Root() + "/" + (source.empty() ? "" : source + "/") + file->Get_Name();
}

class DemoServerRoot : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(Root().empty()) << "RUV_DEMO_SERVER_ROOT is not set";
    bytes_ = fs::ReadFile(Root() + "/ruv_virad_2.xml");
    document_ = xml::TXMLDocument::Create();
    document_->LoadFromXML(bytes_);
    root_ = config::Getruv_virad(document_);
  }

  std::string bytes_;
  xml::IXMLDocumentPtr document_;
  config::IXMLRuv_viradPtr root_;
};

TEST_F(DemoServerRoot, ConfigurationIsWindows1250InTheBindingsNamespace) {
  EXPECT_EQ(bytes_.substr(0, kDeclaration.size()), kDeclaration);
  EXPECT_EQ(bytes_.find("@RUV_NAMESPACE@"), std::string::npos);
  EXPECT_NE(bytes_.find("p\xB3" "ace"), std::string::npos) << "\"ł\" is not the windows-1250 byte";
  EXPECT_EQ(bytes_.find("\xC5\x82"), std::string::npos) << "UTF-8 bytes left in the document";

  const auto terminals = root_->Get_Terminal();
  ASSERT_EQ(terminals->Count(), 3);
  EXPECT_EQ(terminals->Get_Item(0)->Get_Name(), "Kadry i płace");
  EXPECT_TRUE(std::string("3.0.0.3").starts_with(root_->Get_Prog_version()));
}

// Every file a terminal or library names is on the server; programs and
// libraries carry the configured version, icons load as bitmaps.
TEST_F(DemoServerRoot, EveryNamedFileIsServedWithItsVersion) {
  struct Served {
    std::string what;
    config::IXMLFileTypePtr file;
    std::optional<std::string> version;  // for programs and libraries
  };
  std::vector<Served> served;
  const auto terminals = root_->Get_Terminal();
  for (int t = 0; t < terminals->Count(); ++t) {
    const auto terminal = terminals->Get_Item(t);
    const std::string id = terminal->Get_Id();
    served.push_back({id + " program", terminal->Get_Exe_file(), terminal->Get_Version()});
    served.push_back({id + " icon", terminal->Get_Icon_file(), std::nullopt});
    const auto files = terminal->Get_File();
    for (int i = 0; i < files->Count(); ++i) served.push_back({id + " file", files->Get_Item(i), std::nullopt});

    const auto libraries = terminal->Get_Dll_lib();
    for (int i = 0; i < libraries->Count(); ++i) {
      const std::string name = libraries->Get_Item(i);
      config::IXMLDllTypePtr found;
      const auto dlls = root_->Get_Dll();
      for (int d = 0; d < dlls->Count() && !found; ++d)
        if (dlls->Get_Item(d)->Get_Name() == name) found = dlls->Get_Item(d);
      ASSERT_TRUE(found) << id << " names library " << name << " without a description";
      served.push_back({id + " library " + name, found->Get_File(), found->Get_Version()});
    }
  }

  int checked = 0;
  for (const auto& [what, file, version] : served) {
    SCOPED_TRACE(what + ": " + file->Get_Name());
    if (file->Get_Name().empty()) continue;  // a terminal without an icon
    const std::string path = ServedPath(file);
    ASSERT_TRUE(fs::FileExists(path)) << path;
    ++checked;
    if (version) {
      EXPECT_EQ(GetFileVersionString(path), *version);
    }
    if (path.ends_with(".bmp")) {
      graphics::TBitmap icon;
      icon.LoadFromFile(path);
      EXPECT_EQ(icon.Width(), 32);
      EXPECT_EQ(icon.Height(), 32);
    }
  }
  EXPECT_EQ(checked, 9);
}

}  // namespace
