#include "platform/sim/SimRegistry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "SimTestUtil.h"
#include "base/StrUtils.h"

using plat::RegRoot;
using plat::RegValue;
using sim::SimRegistry;

namespace {

class SimRegistryTest : public ::testing::Test {
 protected:
  simtest::TempDir dir;
  std::string file = dir.path() + "/registry.reg";
  SimRegistry reg{file};
};

}  // namespace

namespace plat {
static bool operator==(const RegValue& a, const RegValue& b) { return a.type == b.type && a.data == b.data; }
}  // namespace plat

TEST_F(SimRegistryTest, NamesIgnoreCaseKeepTheirCaseAndNothingIsCreatedByOpening) {
  EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Software\\Morvane", false), nullptr);
  EXPECT_EQ(reg.OpenKey(RegRoot::CurrentUser, "Software\\Morvane", true), nullptr);
  EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, "Software"));

  ASSERT_TRUE(reg.CreateKey(RegRoot::CurrentUser, "\\Software\\Morvane\\Ondrel"));
  auto k = reg.OpenKey(RegRoot::CurrentUser, "SOFTWARE\\morvane\\ONDREL", true);
  ASSERT_NE(k, nullptr);
  EXPECT_TRUE(k->SetValue("ClickDelay", SimRegistry::Dword(4)));
  EXPECT_TRUE(k->SetValue("CLICKDELAY", SimRegistry::Dword(5)));  // the same value
  EXPECT_TRUE(k->SetValue("", SimRegistry::String("default")));
  RegValue v;
  ASSERT_TRUE(k->QueryValue("clickdelay", v));
  EXPECT_EQ(v, SimRegistry::Dword(5));
  EXPECT_EQ(k->ValueNames(), (std::vector<std::string>{"ClickDelay", ""}));
  EXPECT_FALSE(k->DeleteValue("Missing"));
  EXPECT_TRUE(k->DeleteValue("clickDELAY"));
  EXPECT_FALSE(k->QueryValue("ClickDelay", v));

  auto parent = reg.OpenKey(RegRoot::CurrentUser, "software", false);
  ASSERT_NE(parent, nullptr);
  EXPECT_EQ(parent->SubKeyNames(), std::vector<std::string>{"Morvane"});
  EXPECT_FALSE(parent->SetValue("x", SimRegistry::Dword(1)));  // opened for reading only
  // The roots are separate trees.
  EXPECT_FALSE(reg.KeyExists(RegRoot::LocalMachine, "Software\\Morvane"));

  // A key deleted under an open handle fails from then on instead of writing into nowhere.
  ASSERT_TRUE(reg.DeleteKey(RegRoot::CurrentUser, "Software\\Morvane"));
  EXPECT_FALSE(k->SetValue("x", SimRegistry::Dword(1)));
  EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, "Software\\Morvane\\Ondrel"));
}

TEST_F(SimRegistryTest, EveryChangeRewritesTheFileInTheEditorsFormat) {
  reg.SetValue(RegRoot::CurrentUser, "Software\\B", "Path", SimRegistry::String("C:\\x \"quoted\""));
  reg.SetValue(RegRoot::CurrentUser, "Software\\a", "", SimRegistry::String(""));
  reg.SetValue(RegRoot::CurrentUser, "Software\\a", "Count", SimRegistry::Dword(10));
  reg.SetValue(RegRoot::LocalMachine, "SOFTWARE\\X", "Bin", SimRegistry::Binary(std::string("\x01\xff", 2)));
  reg.SetValue(RegRoot::LocalMachine, "SOFTWARE\\X", "Exp", RegValue{plat::REG_TYPE_EXPAND_SZ, std::string("%a%\0", 4)});
  const std::string want =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software]\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\a]\r\n@=\"\"\r\n\"Count\"=dword:0000000a\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\B]\r\n\"Path\"=\"C:\\\\x \\\"quoted\\\"\"\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\r\n\"Bin\"=hex:01,ff\r\n\"Exp\"=hex(2):25,61,25,00\r\n\r\n";
  EXPECT_EQ(reg.ExportText(), want);
  EXPECT_EQ(simtest::ReadHostFile(file), want);
  EXPECT_FALSE(std::filesystem::exists(file + ".tmp"));
}

TEST_F(SimRegistryTest, ExportAndImportRoundTripEveryKindOfValue) {
  std::string longBinary;
  for (int i = 0; i < 200; ++i) longBinary += static_cast<char>(i);
  const struct {
    const char* name;
    RegValue value;
  } cases[] = {
      {"plain", SimRegistry::String("text")},
      {"escapes \\ \"", SimRegistry::String("a\\b\"c\\")},
      {"empty", SimRegistry::String("")},
      {"zero inside", RegValue{plat::REG_TYPE_SZ, std::string("a\0b\0", 4)}},
      {"no terminator", RegValue{plat::REG_TYPE_SZ, "abc"}},
      {"line break", SimRegistry::String("one\r\ntwo")},
      {"dword", SimRegistry::Dword(0xDEADBEEF)},
      {"short dword", RegValue{plat::REG_TYPE_DWORD, "\x01"}},
      {"binary", SimRegistry::Binary(longBinary)},
      {"empty binary", SimRegistry::Binary("")},
      {"multi", RegValue{plat::REG_TYPE_MULTI_SZ, std::string("a\0b\0\0", 5)}},
      {"none", RegValue{plat::REG_TYPE_NONE, ""}},
      {"", SimRegistry::String("default")},
  };
  for (auto& c : cases) reg.SetValue(RegRoot::ClassesRoot, "K\\Sub", c.name, c.value);
  reg.CreateKey(RegRoot::CurrentUser, "Empty\\Key");

  SimRegistry copy("");
  std::string error;
  ASSERT_TRUE(copy.ImportFile(file, &error)) << error;
  for (auto& c : cases) {
    RegValue v;
    ASSERT_TRUE(copy.GetValue(RegRoot::ClassesRoot, "k\\sub", c.name, v)) << c.name;
    EXPECT_EQ(v, c.value) << c.name;
  }
  EXPECT_TRUE(copy.KeyExists(RegRoot::CurrentUser, "Empty\\Key"));
  EXPECT_EQ(copy.ExportText(), reg.ExportText());
  // Long hex lists wrap within 80 columns.
  for (auto& line : Split(reg.ExportText(), '\n')) EXPECT_LE(line.size(), 81u) << line;
}

TEST_F(SimRegistryTest, ImportAppliesDeletionsAndAcceptsBothLineEnds) {
  reg.SetValue(RegRoot::CurrentUser, "Gone\\Deep", "x", SimRegistry::Dword(1));
  reg.SetValue(RegRoot::CurrentUser, "Kept", "drop", SimRegistry::Dword(1));
  reg.SetValue(RegRoot::CurrentUser, "Kept", "keep", SimRegistry::Dword(2));
  const std::string text =
      "Windows Registry Editor Version 5.00\n\n"
      "; a comment\n"
      "[-HKEY_CURRENT_USER\\Gone]\n"
      "\"ignored\"=dword:1\n\n"
      "[HKEY_CURRENT_USER\\Kept]\r\n"
      "\"drop\"=-\r\n"
      "\"bin\"=hex:01,\\\n"
      "   02,03\n"
      "\"typed\"=hex(7):61,00,00\n";
  std::string error;
  ASSERT_TRUE(reg.ImportText(text, "t.reg", &error)) << error;
  EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, "Gone"));
  auto k = reg.OpenKey(RegRoot::CurrentUser, "Kept", false);
  EXPECT_EQ(k->ValueNames(), (std::vector<std::string>{"keep", "bin", "typed"}));
  RegValue v;
  k->QueryValue("bin", v);
  EXPECT_EQ(v, SimRegistry::Binary("\x01\x02\x03"));
  k->QueryValue("typed", v);
  EXPECT_EQ(v, (RegValue{plat::REG_TYPE_MULTI_SZ, std::string("a\0\0", 3)}));
}

TEST_F(SimRegistryTest, MalformedImportNamesFileAndLineAndAppliesNothing) {
  const struct {
    const char* text;
    const char* error;
  } cases[] = {
      {"REGEDIT5\n", "bad.reg:1: "},
      {"", "bad.reg:1: "},
      {"Windows Registry Editor Version 5.00\n\n\"v\"=\"x\"\n", "bad.reg:3: value before the first key"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"unterminated\n",
       "bad.reg:4: missing closing quote"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_NOWHERE\\A]\n", "bad.reg:3: unknown root key"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A\n", "bad.reg:3: key name without closing ]"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=dword:123456789\n", "bad.reg:4: bad dword"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,2g\n", "bad.reg:4: bad byte"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=hex:01,\\", "bad.reg:4: hex list continued"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\\n\"\n", "bad.reg:4: unknown escape"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=\"a\" x\n", "bad.reg:4: text after"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n\"v\"=word:1\n", "bad.reg:4: unknown value data"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\nv=\"1\"\n", "bad.reg:4: expected a [key] or a value"},
      {"Windows Registry Editor Version 5.00\n\n[-HKEY_CURRENT_USER]\n", "bad.reg:3: a root key cannot be deleted"},
      {"Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\A]\n[HKEY_CURRENT_USER]\n\"x\"=\"y\"\n",
       "bad.reg:5: a value cannot be set directly under a root key"},
  };
  reg.SetValue(RegRoot::CurrentUser, "Before", "v", SimRegistry::Dword(7));
  const std::string fileBefore = simtest::ReadHostFile(file);
  for (auto& c : cases) {
    std::string error;
    const std::string text = c.text;  // most begin with a key that must not be created
    EXPECT_FALSE(reg.ImportText(text, "bad.reg", &error)) << text;
    EXPECT_EQ(error.rfind(c.error, 0), 0u) << "got: " << error;
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, "A")) << text;
  }
  EXPECT_EQ(simtest::ReadHostFile(file), fileBefore);
  std::string error;
  EXPECT_FALSE(reg.ImportFile(dir.path() + "/missing.reg", &error));
  EXPECT_NE(error.find("missing.reg:"), std::string::npos);
}

TEST_F(SimRegistryTest, KeysNestAtMost512LevelsAndRootKeysHoldNoValues) {
  auto nested = [](int depth) {
    std::string key = "HKEY_CURRENT_USER";
    for (int i = 0; i < depth; ++i) key += "\\k" + std::to_string(i);
    return key;
  };
  const std::string header = "Windows Registry Editor Version 5.00\r\n\r\n";
  // The deepest key the registry allows goes through export and import whole.
  std::string error;
  ASSERT_TRUE(reg.ImportText(header + "[" + nested(512) + "]\r\n\"v\"=dword:00000001\r\n", "deep.reg", &error))
      << error;
  const std::string exported = reg.ExportText();
  SimRegistry again{""};
  ASSERT_TRUE(again.ImportText(exported, "again.reg", &error)) << error;
  EXPECT_EQ(again.ExportText(), exported);

  // One level more is refused, also far deeper (which once overflowed the stack).
  for (int depth : {513, 10000}) {
    EXPECT_FALSE(reg.ImportText(header + "[HKEY_CURRENT_USER\\A]\r\n[" + nested(depth) + "]\r\n", "deep.reg", &error));
    EXPECT_EQ(error, "deep.reg:4: key nested deeper than 512 levels");
    EXPECT_FALSE(reg.KeyExists(RegRoot::CurrentUser, "A"));
  }
  const std::string path513 = nested(513).substr(sizeof "HKEY_CURRENT_USER");
  EXPECT_FALSE(reg.CreateKey(RegRoot::CurrentUser, path513));
  EXPECT_FALSE(reg.SetValue(RegRoot::CurrentUser, path513, "v", SimRegistry::Dword(1)));

  // A root key keeps no values, so none can be written there to be lost at the next save.
  EXPECT_FALSE(reg.SetValue(RegRoot::CurrentUser, "", "x", SimRegistry::String("y")));
  auto root = reg.OpenKey(RegRoot::CurrentUser, "\\", true);
  ASSERT_NE(root, nullptr);
  EXPECT_FALSE(root->SetValue("x", SimRegistry::String("y")));
  EXPECT_TRUE(root->ValueNames().empty());
  EXPECT_EQ(simtest::ReadHostFile(file), reg.ExportText());
}
