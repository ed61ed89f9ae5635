#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "Fixture.h"
#include "ruv/config/XMLBinding.h"

namespace ruv::config {
namespace {

// The user-interface thread and a download job's worker read one configuration
// at the same time, and reads of missing nodes add them to the tree.
TEST(ConfigBindingThreads, OneDocumentReadFromSeveralThreadsAtOnce) {
  for (int round = 0; round < 20; ++round) {
    auto doc = testing::LoadFixture("sample.xml");
    // In every other round the whole tree was read plainly before the binding,
    // so the threads' first typed reads rebuild its node objects at the same time.
    if (round % 2) testing::ReachAll(doc->DocumentElement());
    auto root = Getruv_virad(doc);
    std::atomic<int> mismatches{0};
    std::atomic<bool> go{false};
    std::vector<std::thread> threads;
    for (int k = 0; k < 4; ++k) {
      threads.emplace_back([&, k] {
        while (!go) std::this_thread::yield();
        auto terminals = root->Get_Terminal();
        for (int i = 0; i < terminals->Count(); ++i) {
          const int j = (i + k) % terminals->Count();
          auto t = terminals->Get_Item(j);
          std::string seen = t->Get_Id() + t->Get_Access_mode()->Get_Value() + t->Get_Exe_file()->Get_Name();
          for (int f = 0; f < t->Get_File()->Count(); ++f) seen += t->Get_File()->Get_Item(f)->Get_Hash();
          for (int l = 0; l < t->Get_Dll_lib()->Count(); ++l) seen += t->Get_Dll_lib()->Get_Item(l);
          // Missing children and attributes, added by whichever thread comes first.
          if (t->Get_Exe_file()->ChildNode("missing_" + std::to_string(j))->Text() != "") ++mismatches;
          if (t->Get_Icon_file()->Get_Description().empty() && j != 2) ++mismatches;
          if (t->AttributeNode("extra")->Text() != "") ++mismatches;
          if (seen.empty()) ++mismatches;
        }
        if (root->Get_ClForm()->Get_Value() != "clWhite") ++mismatches;
        for (int d = 0; d < root->Get_Dll()->Count(); ++d) root->Get_Dll()->Get_Item(d)->Get_File()->Get_Name();
        root->ChildNode("not_in_config")->Text();
      });
    }
    go = true;
    for (auto& th : threads) th.join();
    EXPECT_EQ(mismatches, 0);
    // Each missing node was added exactly once.
    EXPECT_EQ(root->Get_Terminal()->Get_Item(0)->Get_Exe_file()->ChildCount(), 6);
    int added = 0;
    for (int i = 0; i < root->ChildCount(); ++i) added += root->ChildAt(i)->LocalName() == "not_in_config";
    EXPECT_EQ(added, 1);
  }
}

}  // namespace
}  // namespace ruv::config
