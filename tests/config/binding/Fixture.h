#pragma once
// Loading the configuration fixtures of the binding tests.

#include <cstdlib>
#include <string>

#include "ruv/config/XMLBinding.h"
#include "ruv/platform/Files.h"

namespace ruv::config::testing {

inline std::string FixturePath(const std::string& name) {
  const char* root = std::getenv("RUV_TEST_SOURCE_DIR");
  return std::string(root ? root : ".") + "/tests/config/binding/fixtures/" + name;
}

inline xml::IXMLDocumentPtr LoadBytes(const std::string& bytes) {
  auto doc = xml::TXMLDocument::Create();
  doc->LoadFromXML(bytes);
  return doc;
}

inline xml::IXMLDocumentPtr LoadFixture(const std::string& name) { return LoadBytes(fs::ReadFile(FixturePath(name))); }

// Reaches every node below node through the plain node interface.
inline void ReachAll(const xml::IXMLNodePtr& node) {
  for (int i = 0; i < node->ChildCount(); ++i) ReachAll(node->ChildAt(i));
}

}  // namespace ruv::config::testing
