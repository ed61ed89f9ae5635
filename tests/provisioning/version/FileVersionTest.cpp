#include "TestDirectory.h"
#include "ruv/provisioning/FileVersion.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>

#include "ruv/platform/Exception.h"
#include "ruv/platform/Files.h"

namespace ruv {
namespace {

const std::string kNotFound(kNoVersionInfoMessage);
const std::string kBroken(kVersionInfoErrorMessage);

std::string Fixture(const std::string& name) { return std::string(RUV_VERSION_FIXTURES) + "/" + name; }

// The version text, or the message it raised.
std::string VersionOrMessage(const std::string& path) {
  try {
    return GetFileVersionString(path);
  } catch (const Exception& e) {
    return e.Message();
  }
}

class FileVersionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ruv::testing::FreshTestDirectory("ruv_version");
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string Write(const std::string& name, const std::string& bytes) const {
    const auto p = (dir_ / name).string();
    std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
    return p;
  }
  std::filesystem::path dir_;
};

TEST_F(FileVersionTest, FirstTranslationsFileVersionInEveryContainer) {
  struct Case {
    const char* fixture;
    std::string expected;
  } cases[] = {
      {"plain", "3.0.0.3"},
      // The first translation decides, even when a later one has the string.
      {"first_without", kBroken},
      {"zero_length", kBroken},
      // The string as stored, not rebuilt from the fixed block (3.0.9.9 there).
      {"commas", "3, 0, 0, 3 "},
      {"no_translation", kBroken},
      {"short_translation", kBroken},
      // Keys in any case, VarFileInfo first, no fixed block, a declared length
      // past its block: the text up to its first NUL.
      {"loose", "3.0 wersja żółta"},
  };
  for (const auto& c : cases) {
    for (const char* format : {"pe32", "pe64", "elf32", "elf64"}) {
      EXPECT_EQ(VersionOrMessage(Fixture(std::string(c.fixture) + "." + format)), c.expected)
          << c.fixture << "." << format;
    }
  }
}

TEST_F(FileVersionTest, StampedProgramCarriesItsVersion) {
  EXPECT_EQ(GetFileVersionString(RUV_VERSION_SAMPLE), "3.0.0.3");
  // An executable of ours without a stamp has no version information.
  EXPECT_EQ(VersionOrMessage("/proc/self/exe"), kNotFound);
}

// The locale variables the reader looks at, set for one case and put back as
// they were afterwards; nullptr unsets a variable.
class LocaleEnvironment {
 public:
  LocaleEnvironment() {
    for (std::size_t i = 0; i < kVariables.size(); ++i) {
      const char* value = std::getenv(kVariables[i]);
      saved_[i] = value ? std::optional<std::string>(value) : std::nullopt;
    }
  }
  ~LocaleEnvironment() {
    for (std::size_t i = 0; i < kVariables.size(); ++i) Put(kVariables[i], saved_[i] ? saved_[i]->c_str() : nullptr);
  }
  void Set(const char* lcAll, const char* lcMessages, const char* lang) {
    Put("LC_ALL", lcAll);
    Put("LC_MESSAGES", lcMessages);
    Put("LANG", lang);
  }

 private:
  static void Put(const char* variable, const char* value) {
    if (value) {
      ::setenv(variable, value, 1);
    } else {
      ::unsetenv(variable);
    }
  }
  static constexpr std::array<const char*, 3> kVariables{"LC_ALL", "LC_MESSAGES", "LANG"};
  std::array<std::optional<std::string>, 3> saved_;
};

std::string WindresFixture(const std::string& name) {
  return std::string(RUV_VERSION_WINDRES_FIXTURES) + "/" + name;
}

// Of a version resource in several languages, the one for the user's locale is
// read: language-neutral first, then the locale's language (exactly, else the
// same primary language), then English (US), then the first listed.
TEST_F(FileVersionTest, ResourceLanguageFollowsTheLocale) {
  const std::string german = "1.0.0.7 Deutsch", english = "1.0.0.9 English", polish = "1.0.0.15 Polski";
  struct Case {
    const char* file;  // languages: 0x0407, 0x0409, 0x0415; neutral: 0x0000, 0x0409,
                       // 0x0415; german: 0x0415, 0x0807, 0x0C07 (as listed)
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    std::string expected;
  } cases[] = {
      {"languages.exe", "C", nullptr, nullptr, english},
      {"languages.exe", nullptr, nullptr, "pl_PL.UTF-8", polish},
      {"languages.exe", nullptr, "de_DE.UTF-8", "en_US.UTF-8", german},
      {"languages.exe", nullptr, nullptr, "pl", polish},
      {"languages.exe", nullptr, nullptr, "de_AT.UTF-8", german},
      {"languages.exe", nullptr, nullptr, nullptr, english},
      {"languages.exe", "pl_PL.UTF-8", "de_DE.UTF-8", "en_US.UTF-8", polish},
      {"languages.exe", "", "", "pl_PL.UTF-8", polish},  // empty counts as unset
      {"languages.exe", "POSIX", nullptr, "pl_PL.UTF-8", english},
      {"languages.exe", nullptr, nullptr, "C.UTF-8", english},
      {"languages.exe", nullptr, nullptr, "fr_FR.UTF-8", english},
      {"languages.exe", nullptr, nullptr, "tlh_XX", english},
      {"languages.exe", nullptr, nullptr, "de_DE@euro", german},
      {"neutral.exe", nullptr, nullptr, "pl_PL.UTF-8", "1.0.0.0 neutral"},
      {"neutral.exe", "C", nullptr, nullptr, "1.0.0.0 neutral"},
      {"german.exe", nullptr, nullptr, "de_AT.UTF-8", "1.0.12.7 Oesterreich"},
      {"german.exe", nullptr, nullptr, "de_DE.UTF-8", "1.0.8.7 Schweiz"},
      {"german.exe", nullptr, nullptr, "de", "1.0.8.7 Schweiz"},
      {"german.exe", nullptr, nullptr, "en_US.UTF-8", polish},
      {"german.exe", nullptr, nullptr, nullptr, polish},
  };
  LocaleEnvironment environment;
  for (const auto& c : cases) {
    environment.Set(c.lcAll, c.lcMessages, c.lang);
    EXPECT_EQ(VersionOrMessage(WindresFixture(c.file)), c.expected)
        << c.file << " LC_ALL=" << (c.lcAll ? c.lcAll : "(unset)")
        << " LC_MESSAGES=" << (c.lcMessages ? c.lcMessages : "(unset)") << " LANG=" << (c.lang ? c.lang : "(unset)");
  }
  // Files with a single structure answer alike in every locale.
  for (const char* lang : {"pl_PL.UTF-8", "de_DE.UTF-8", "C"}) {
    environment.Set(nullptr, nullptr, lang);
    for (const char* format : {"pe32", "pe64", "elf64"}) {
      EXPECT_EQ(VersionOrMessage(Fixture(std::string("plain.") + format)), "3.0.0.3") << format << " " << lang;
    }
    EXPECT_EQ(VersionOrMessage(RUV_VERSION_SAMPLE), "3.0.0.3") << lang;
  }
}

TEST_F(FileVersionTest, FilesWithoutVersionInformation) {
  const std::string cases[] = {
      Write("readme.txt", "MZ is not enough: this is a text file.\r\n"),
      Write("empty.exe", ""),
      (dir_ / "missing.exe").string(),
      dir_.string(),
      Fixture("plain.blob"),  // the bare structure is not a file that holds one
  };
  for (const auto& path : cases) EXPECT_EQ(VersionOrMessage(path), kNotFound) << path;
}

TEST_F(FileVersionTest, RelativePathWithBackslashes) {
  std::filesystem::create_directories(dir_ / "lib" / "sub");
  std::filesystem::copy_file(Fixture("plain.pe32"), dir_ / "lib" / "sub" / "a.dll");
  const auto previous = std::filesystem::current_path();
  std::filesystem::current_path(dir_);
  const std::string result = VersionOrMessage("lib\\sub\\a.dll");
  const std::string missing = VersionOrMessage(".\\lib\\b.dll");
  std::filesystem::current_path(previous);
  EXPECT_EQ(result, "3.0.0.3");
  EXPECT_EQ(missing, kNotFound);
}

std::uint32_t U32(const std::string& b, std::size_t at) {
  std::uint32_t v = 0;
  std::memcpy(&v, b.data() + at, 4);
  return v;
}
void Put16(std::string& b, std::size_t at, std::uint16_t v) { std::memcpy(b.data() + at, &v, 2); }
void Put32(std::string& b, std::size_t at, std::uint32_t v) { std::memcpy(b.data() + at, &v, 4); }

// Where things are in a PE fixture, found from its headers.
struct PeLayout {
  explicit PeLayout(const std::string& b) {
    pe = U32(b, 0x3C);
    const std::size_t opt = pe + 24;
    const std::size_t dirs = opt + (b[opt] == 0x0B && b[opt + 1] == 0x01 ? 96 : 112);
    rsrcDirectory = dirs + 16;
    const std::size_t sections = opt + static_cast<std::uint16_t>(U32(b, pe + 20));
    for (std::size_t s = 0; s < static_cast<std::uint16_t>(U32(b, pe + 6)); ++s) {
      if (b.compare(sections + 40 * s, 6, std::string(".rsrc", 6)) == 0) rsrc = U32(b, sections + 40 * s + 20);
    }
    // The root directory's entries (ids ascending); the version type's entry.
    const std::size_t types = static_cast<std::uint16_t>(U32(b, rsrc + 14));
    for (std::size_t e = rsrc + 16; e < rsrc + 16 + 8 * types; e += 8) {
      if (U32(b, e) == 16) typeEntry = e;
    }
    nameDirectory = rsrc + (U32(b, typeEntry + 4) & 0x7FFFFFFF);
    langDirectory = rsrc + (U32(b, nameDirectory + 16 + 4) & 0x7FFFFFFF);
    dataEntry = rsrc + U32(b, langDirectory + 16 + 4);
    root = b.find(std::string("V\0S\0_\0V\0E\0R\0S\0I\0O\0N\0_\0I\0N\0F\0O\0", 30)) - 6;
    fileVersion = b.find(std::string("F\0i\0l\0e\0V\0e\0r\0s\0i\0o\0n\0", 22)) - 6;
    translation = b.find(std::string("T\0r\0a\0n\0s\0l\0a\0t\0i\0o\0n\0", 22)) - 6;
    stringFileInfo = b.find(std::string("S\0t\0r\0i\0n\0g\0F\0i\0l\0e\0", 20)) - 6;
  }
  std::size_t pe, rsrcDirectory, rsrc = 0, typeEntry = 0, nameDirectory, langDirectory, dataEntry;
  std::size_t root, fileVersion, translation, stringFileInfo;
};

// Cut, inflated and looping variants of a good file: each gets one of the two
// messages (or, where the damage is harmless, the version), and none is read
// out of bounds (the suite also runs under AddressSanitizer).
TEST_F(FileVersionTest, DamagedFiles) {
  const std::string good = fs::ReadFile(Fixture("plain.pe32"));
  const PeLayout at(good);
  ASSERT_EQ(U32(good, at.dataEntry) - 0x1000 + at.rsrc, at.root) << "fixture layout changed";
  using Patch = void (*)(std::string&, const PeLayout&);
  struct Case {
    const char* name;
    Patch patch;
    std::string expected;
  } cases[] = {
      {"cut in the DOS header", [](std::string& b, const PeLayout&) { b.resize(0x30); }, kNotFound},
      {"cut in the PE header", [](std::string& b, const PeLayout& l) { b.resize(l.pe + 10); }, kNotFound},
      {"cut in the section table", [](std::string& b, const PeLayout& l) { b.resize(l.rsrc - 0x100); }, kNotFound},
      {"cut in the directory", [](std::string& b, const PeLayout& l) { b.resize(l.nameDirectory + 4); }, kNotFound},
      {"cut in the structure", [](std::string& b, const PeLayout& l) { b.resize(l.root + 40); }, kNotFound},
      {"PE header past the end", [](std::string& b, const PeLayout&) { Put32(b, 0x3C, 0xFFFFFFF0); }, kNotFound},
      {"65535 sections", [](std::string& b, const PeLayout& l) { Put16(b, l.pe + 6, 0xFFFF); }, kNotFound},
      {"no optional header", [](std::string& b, const PeLayout& l) { Put16(b, l.pe + 20, 0); }, kNotFound},
      {"resources past the image",
       [](std::string& b, const PeLayout& l) { Put32(b, l.rsrcDirectory, 0x7FFFFFFF); }, kNotFound},
      {"type directory with 65535 entries",
       [](std::string& b, const PeLayout& l) { Put16(b, l.rsrc + 14, 0xFFFF); }, kNotFound},
      {"type entry looping to the root",
       [](std::string& b, const PeLayout& l) { Put32(b, l.typeEntry + 4, 0x80000000); }, kNotFound},
      {"name entry looping to itself",
       [](std::string& b, const PeLayout& l) {
         Put32(b, l.nameDirectory + 20, 0x80000000 | static_cast<std::uint32_t>(l.nameDirectory - l.rsrc));
       },
       kNotFound},
      {"data entry offset past the end",
       [](std::string& b, const PeLayout& l) { Put32(b, l.langDirectory + 20, 0x7FFFFFF0); }, kNotFound},
      {"huge resource", [](std::string& b, const PeLayout& l) { Put32(b, l.dataEntry + 4, 0xFFFFFFFF); }, kNotFound},
      {"resource data past the end",
       [](std::string& b, const PeLayout& l) { Put32(b, l.dataEntry, 0xFFFFFF00); }, kNotFound},
      {"root longer than the resource", [](std::string& b, const PeLayout& l) { Put16(b, l.root, 0xFFFF); }, kBroken},
      {"root length 0", [](std::string& b, const PeLayout& l) { Put16(b, l.root, 0); }, kBroken},
      {"root cut before its children", [](std::string& b, const PeLayout& l) { Put16(b, l.root, 40); }, kBroken},
      {"child of length 0", [](std::string& b, const PeLayout& l) { Put16(b, l.stringFileInfo, 0); }, kBroken},
      {"child longer than its parent",
       [](std::string& b, const PeLayout& l) { Put16(b, l.stringFileInfo, 0x7FFF); }, kBroken},
      {"key without NUL",
       [](std::string& b, const PeLayout& l) {
         for (std::size_t i = l.fileVersion + 6; i < l.fileVersion + 48; i += 2) Put16(b, i, 'x');
       },
       kBroken},
      {"translation of 65535 bytes", [](std::string& b, const PeLayout& l) { Put16(b, l.translation + 2, 0xFFFF); },
       "3.0.0.3"},
      {"value of 65535 characters", [](std::string& b, const PeLayout& l) { Put16(b, l.fileVersion + 2, 0xFFFF); },
       "3.0.0.3"},
      {"value without NUL",
       [](std::string& b, const PeLayout& l) { Put16(b, l.fileVersion + 32 + 14, 'x'); }, "3.0.0.3x"},
  };
  for (const auto& c : cases) {
    std::string bytes = good;
    c.patch(bytes, at);
    EXPECT_EQ(VersionOrMessage(Write("damaged.exe", bytes)), c.expected) << c.name;
  }
}

// A language directory that is not as the tool chain writes it: names never
// match a language, the neutral entry wins wherever it is listed, and a chosen
// entry that is not data is no version information.
TEST_F(FileVersionTest, DamagedLanguageDirectory) {
  const std::string good = fs::ReadFile(WindresFixture("languages.exe"));
  const PeLayout at(good);
  // The entries: German 0x0407, English (US) 0x0409, Polish 0x0415.
  const std::size_t german = at.langDirectory + 16, polish = at.langDirectory + 32;
  ASSERT_EQ(U32(good, german), 0x0407u) << "fixture layout changed";
  ASSERT_EQ(U32(good, polish), 0x0415u) << "fixture layout changed";
  struct Case {
    const char* name;
    std::size_t at;
    std::uint32_t value;
    bool wide;  // 32 bits, else 16
    std::string expected;
  } cases[] = {
      {"German entry named", german, 0x80000407u, true, "1.0.0.9 English"},
      {"Polish entry neutral, listed last", polish, 0, true, "1.0.0.15 Polski"},
      {"German entry pointing at a directory", german + 4, 0x80000000u | U32(good, german + 4), true, kNotFound},
      {"no entries", at.langDirectory + 14, 0, false, kNotFound},
      {"65535 entries", at.langDirectory + 14, 0xFFFF, false, kNotFound},
  };
  LocaleEnvironment environment;
  environment.Set(nullptr, nullptr, "de_DE.UTF-8");
  EXPECT_EQ(VersionOrMessage(WindresFixture("languages.exe")), "1.0.0.7 Deutsch");
  for (const auto& c : cases) {
    std::string bytes = good;
    if (c.wide) {
      Put32(bytes, c.at, c.value);
    } else {
      Put16(bytes, c.at, static_cast<std::uint16_t>(c.value));
    }
    EXPECT_EQ(VersionOrMessage(Write("languages.exe", bytes)), c.expected) << c.name;
  }
}

// Random damage to PE and ELF fixtures: always a result or one of the messages.
TEST_F(FileVersionTest, RandomDamageNeverCrashes) {
  std::mt19937 rng(20261211);
  for (const char* fixture : {"plain.pe32", "plain.pe64", "plain.elf64", "loose.elf32"}) {
    const std::string good = fs::ReadFile(Fixture(fixture));
    for (int round = 0; round < 300; ++round) {
      std::string bytes = good;
      const int flips = 1 + static_cast<int>(rng() % 4);
      for (int i = 0; i < flips; ++i) bytes[rng() % bytes.size()] = static_cast<char>(rng());
      if (rng() % 4 == 0) bytes.resize(rng() % bytes.size());
      const std::string result = VersionOrMessage(Write("random.exe", bytes));
      EXPECT_FALSE(result.empty()) << fixture << " round " << round;
    }
  }
}

}  // namespace
}  // namespace ruv
