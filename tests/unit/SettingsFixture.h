#pragma once
// A fresh simulated machine per test for the settings, log and language
// tests, with small helpers to lay out files through the platform seam.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "base/StrUtils.h"
#include "platform/Services.h"
#include "platform/sim/SimMachine.h"
#include "platform/sim/SimTempFolder.h"
#include "settings/LangSup.h"
#include "settings/LiveSettings.h"
#include "settings/LogFile.h"
#include "settings/RegProc.h"

// A clock the tests set by hand, with the locale separators of their choice.
class TestClock : public plat::IClock {
 public:
  TDateTime now = EncodeDateTime({2026, 3, 2, 9, 7, 5, 123});
  char dateSep = '/';
  char timeSep = ':';
  TDateTime Now() override { return now; }
  char DateSeparator() override { return dateSep; }
  char TimeSeparator() override { return timeSep; }
};

class SettingsFixture : public testing::Test {
 protected:
  void SetUp() override {
    root_ = std::make_unique<sim::TempFolder>("ondrel-settings");
    sim::MachineConfig cfg;
    cfg.root = root_->path();
    cfg.langDir = std::string(ONDREL_SOURCE_DIR) + "/lang";
    machine_ = std::make_unique<sim::SimMachine>(cfg);
    machine_->Install();
    plat::Services s = plat::Installed();
    s.clock = &clock_;
    saved_ = plat::Install(s);
    FillAppVersion();
  }

  void TearDown() override {
    Log.Close();
    FreeLanguages();
    ResetLiveSettings();
    plat::Install(saved_);
    machine_.reset();
    root_.reset();
  }

  static std::string ProgramDir() { return ExtractFilePath(plat::System().ProgramPath()); }

  static void PutFile(const std::string& path, const std::string& bytes) {
    auto f = plat::Files().Open(path, plat::OpenMode::CreateAlways);
    ASSERT_TRUE(f) << path;
    ASSERT_TRUE(f->Write(bytes.data(), bytes.size()));
  }

  static std::string GetFile(const std::string& path) {
    auto f = plat::Files().Open(path, plat::OpenMode::Read);
    if (!f) return "<missing>";
    std::string out;
    char buf[4096];
    while (size_t n = f->Read(buf, sizeof buf)) out.append(buf, n);
    return out;
  }

  std::unique_ptr<sim::TempFolder> root_;  // outlives the machine, which lives in it
  std::unique_ptr<sim::SimMachine> machine_;
  TestClock clock_;
  plat::Services saved_;
};
