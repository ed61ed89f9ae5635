#pragma once
// What the terminal tests share: configurations built from a few fields, a
// progress executer without a window that runs each job on a real worker thread
// and records its ticks, and a fixture with a fresh current directory and a
// download server.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "TestHttpServer.h"
#include "ruv/platform/Files.h"
#include "ruv/provisioning/ResourceStrings.h"
#include "ruv/provisioning/Terminals.h"
#include "ruv/support/Container.h"
#include "ruv/support/ProcedureWithProgressExecuter.h"
#include "ruv/support/ScriptedMessageBoxes.h"

namespace ruv::testing {

namespace fsys = std::filesystem;

struct FileDesc {
  std::string name;
  std::string target;
  std::string source;
  std::string hash;
};

struct TerminalDesc {
  std::string id = "t1";
  std::string name = "Terminal";
  std::string version;
  FileDesc exe{"prog.exe", "term", "", ""};
  FileDesc icon{"ikona.bmp", "term", "", ""};
  std::vector<std::string> dlls;
  std::vector<FileDesc> files;
};

struct DllDesc {
  std::string name;
  std::string version;
  FileDesc file;
};

inline std::string FileXml(const std::string& tag, const FileDesc& f) {
  return "<" + tag + "><name>" + f.name + "</name><target_path>" + f.target + "</target_path><source_path>" +
         f.source + "</source_path><description/><hash>" + f.hash + "</hash></" + tag + ">";
}

inline std::string ConfigXml(const std::vector<TerminalDesc>& terminals, const std::vector<DllDesc>& dlls = {}) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
                    "<ruv_virad xmlns=\"http://ruv.local/ruv_virad\" prog_version=\"3.0\">";
  for (const TerminalDesc& t : terminals) {
    xml += "<terminal><id>" + t.id + "</id><name>" + t.name + "</name><date/><version>" + t.version +
           "</version><access_mode value=\"all\"/>" + FileXml("exe_file", t.exe);
    for (const FileDesc& f : t.files) xml += FileXml("file", f);
    xml += FileXml("icon_file", t.icon);
    for (const std::string& d : t.dlls) xml += "<dll_lib>" + d + "</dll_lib>";
    xml += "</terminal>";
  }
  for (const DllDesc& d : dlls) {
    xml += "<dll><name>" + d.name + "</name><date/><version>" + d.version + "</version>" +
           FileXml("file", d.file) + "</dll>";
  }
  return xml + "</ruv_virad>\r\n";
}

// What the executer saw of its jobs.
struct JobRecord {
  int count = 0;
  std::vector<std::string> ticks;
  int finished = 0;
};

class RecordingExecuter final : public TProcedureWithProgressExecuter {
 public:
  static std::mutex& Mutex() {
    static std::mutex m;
    return m;
  }
  static std::vector<JobRecord>& Jobs() {
    static std::vector<JobRecord> jobs;
    return jobs;
  }
  // The message the next Execute raises in place of showing its window.
  static std::optional<std::string>& FailNext() {
    static std::optional<std::string> failure;
    return failure;
  }
  static std::vector<JobRecord> Taken() {
    std::lock_guard lock(Mutex());
    return std::exchange(Jobs(), {});
  }
  // Registers the executer in the global container, once per program.
  static void Install() {
    static const bool installed = [] {
      di::GlobalContainer()
          .RegisterType<RecordingExecuter>()
          .Implements<TProcedureWithProgressExecuter>()
          .DelegateTo([] { return std::make_shared<RecordingExecuter>(); });
      di::GlobalContainer().Build();
      return true;
    }();
    (void)installed;
  }

  void Execute(const std::shared_ptr<TRunnableWithProgress>& prc) override {
    std::size_t index;
    {
      std::lock_guard lock(Mutex());
      if (auto failure = std::exchange(FailNext(), std::nullopt)) throw Exception(*failure);
      index = Jobs().size();
      Jobs().push_back({});
    }
    auto decorator = TRunnableWithProgressEnforceFinishedDecorator::Create(prc);
    decorator->setProgressListener(std::make_shared<Listener>(index));
    {
      std::lock_guard lock(Mutex());
      Jobs()[index].count = decorator->getCount();
    }
    TProcedureWithProgressThread worker(decorator);
    decorator.reset();
    worker.Start();
    ASSERT_TRUE(worker.WaitFor(std::chrono::seconds(60)));
  }

 private:
  class Listener final : public TProgressListener {
   public:
    explicit Listener(std::size_t index) : index_(index) {}
    void addMoreTicks(std::int32_t count) override {
      std::lock_guard lock(Mutex());
      Jobs()[index_].count += count;
    }
    void tick(const std::string& messageText) override {
      std::lock_guard lock(Mutex());
      Jobs()[index_].ticks.push_back(messageText);
    }
    void finished() override {
      std::lock_guard lock(Mutex());
      ++Jobs()[index_].finished;
    }

   private:
    std::size_t index_;
  };
};

inline std::string ReadAll(const fsys::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteAll(const fsys::path& path, const std::string& data) {
  if (path.has_parent_path()) fsys::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary) << data;
}

inline bool ExecutableByUser(const fsys::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IXUSR) != 0;
}

// A fresh current directory, a download server the program fetches from, scripted
// message boxes and the recording executer.
class TerminalTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RecordingExecuter::Install();
    RecordingExecuter::Taken();
    previous_ = fsys::current_path();
    dir_ = fsys::temp_directory_path() /
           ("ruv_terminal_" + std::to_string(::getpid()) + "_" + std::to_string(counter_++));
    fsys::remove_all(dir_);
    fsys::create_directories(dir_);
    fsys::current_path(dir_);
    resources::SetUrlTemplatesForTesting(server_.Url() + "/%s");
  }
  void TearDown() override {
    resources::SetUrlTemplatesForTesting(std::nullopt);
    fsys::current_path(previous_);
    fsys::remove_all(dir_);
  }

  // Loads the configuration and selects the terminal.
  static void Select(const std::string& xml, const std::string& id = "t1") {
    provisioning::TTerminals::WczytajDane(xml);
    provisioning::TTerminals::WczytajDaneTerminala(id);
  }

  // The requests made to the server, as paths without the leading "/".
  std::vector<std::string> Requests() const {
    std::vector<std::string> out;
    for (const std::string& r : server_.Requests()) out.push_back(r.substr(1));
    return out;
  }
  bool Requested(const std::string& path) const {
    for (const std::string& r : Requests())
      if (r == path) return true;
    return false;
  }

  static inline int counter_ = 0;
  fsys::path previous_;
  fsys::path dir_;
  TestHttpServer server_;
  TScopedScriptedMessageBoxes boxes_{TModalResult::mrOK};
};

}  // namespace ruv::testing
