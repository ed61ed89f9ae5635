// A configuration of 1,000 terminals with 10 additional files each: parse it,
// and parse it and read every value the launcher reads.
#include <benchmark/benchmark.h>

#include <string>

#include "ruv/config/XMLBinding.h"

namespace {

std::string FileXml(const char* tag, const std::string& name) {
  return "<" + std::string(tag) + "><name>" + name + "</name><target_path>terminale\\" + name +
         "</target_path><source_path>src</source_path><description>opis</description><hash>0123456789abcdef</hash></" +
         tag + ">";
}

const std::string& LargeConfig() {
  static const std::string xml = [] {
    std::string s = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ruv_virad xmlns=\"") +
                    ruv::config::TargetNamespace + "\" prog_version=\"3.0\"><link>l</link>"
                    "<clForm value=\"clWhite\"/><network mask=\"255.255.255.0\" ip=\"10.0.0.0\"/>";
    for (int t = 0; t < 1000; ++t) {
      const std::string id = "t" + std::to_string(t);
      s += "<terminal><id>" + id + "</id><name>Terminal " + id + "</name><version>1.0.0." + std::to_string(t) +
           "</version><access_mode value=\"all\"/>" + FileXml("exe_file", id + ".exe") + FileXml("icon_file", id + ".bmp");
      for (int f = 0; f < 10; ++f) s += FileXml("file", id + "_" + std::to_string(f) + ".dat");
      s += "<dll_lib>druk</dll_lib></terminal>";
    }
    s += "<dll><name>druk</name><version>1</version>" + FileXml("file", "druk.dll") + "</dll></ruv_virad>";
    return s;
  }();
  return xml;
}

void BM_LoadConfig(benchmark::State& state) {
  for (auto _ : state) {
    auto doc = ruv::xml::TXMLDocument::Create();
    doc->LoadFromXML(LargeConfig());
    benchmark::DoNotOptimize(doc);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * LargeConfig().size()));
}
BENCHMARK(BM_LoadConfig)->Unit(benchmark::kMillisecond);

void BM_LoadAndWalkConfig(benchmark::State& state) {
  for (auto _ : state) {
    auto doc = ruv::xml::TXMLDocument::Create();
    doc->LoadFromXML(LargeConfig());
    auto root = ruv::config::Getruv_virad(doc);
    std::size_t total = root->Get_Prog_version().size() + root->Get_Link().size();
    auto terminals = root->Get_Terminal();
    for (int i = 0, n = terminals->Count(); i < n; ++i) {
      auto t = terminals->Get_Item(i);
      total += t->Get_Id().size() + t->Get_Name().size() + t->Get_Version().size() +
               t->Get_Access_mode()->Get_Value().size() + t->Get_Exe_file()->Get_Name().size() +
               t->Get_Icon_file()->Get_Name().size();
      auto files = t->Get_File();
      for (int f = 0, fc = files->Count(); f < fc; ++f) {
        auto file = files->Get_Item(f);
        total += file->Get_Name().size() + file->Get_Target_path().size() + file->Get_Source_path().size() +
                 file->Get_Hash().size();
      }
      auto libs = t->Get_Dll_lib();
      for (int l = 0, lc = libs->Count(); l < lc; ++l) total += libs->Get_Item(l).size();
    }
    benchmark::DoNotOptimize(total);
  }
}
BENCHMARK(BM_LoadAndWalkConfig)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
