// Saves survive being killed. A child process saves a list of 100,000 entries
// (and, separately, the simulated registry) and is killed with SIGKILL at 100
// moments spread over the save; after every kill the file on the simulated
// drive holds the old content or the new one, whole, never a mix or a cut.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <iostream>
#include <map>
#include <thread>

#include "ListTestMachine.h"
#include "base/Format.h"
#include "lists/ClWin.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kKills = 100;

struct ChildRun {
  bool finished = false;      // the child reported the end of its save
  Clock::duration took{};     // from the start of the save to its end, when it finished
};

// Runs |save| in a child process. With |killAfter| the child is killed that
// long after it reports that the save begins; without, it is let finish.
ChildRun SaveInChild(const std::function<void()>& save, const Clock::duration* killAfter) {
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe failed");
  const pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    close(fds[0]);
    char c = 'b';
    if (write(fds[1], &c, 1) != 1) _exit(3);
    try {
      save();
    } catch (...) {
      _exit(2);
    }
    c = 'e';
    if (write(fds[1], &c, 1) != 1) _exit(3);
    _exit(0);  // no exit handlers: the child leaves as abruptly as it may be killed
  }
  close(fds[1]);
  ChildRun run;
  char c = 0;
  if (read(fds[0], &c, 1) == 1 && c == 'b') {
    const Clock::time_point begun = Clock::now();
    if (killAfter) {
      // Sleeping, not spinning: the child must have the processor as it had
      // when its usual duration was measured.
      std::this_thread::sleep_until(begun + *killAfter);
      kill(pid, SIGKILL);
    }
    run.finished = read(fds[0], &c, 1) == 1 && c == 'e';
    run.took = Clock::now() - begun;
  }
  close(fds[0]);
  int status = 0;
  waitpid(pid, &status, 0);
  if (!killAfter) {
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the save failed in the child";
  }
  return run;
}

// Kills |save| at kKills moments spread evenly over its usual duration (the
// fastest of five runs let finish, so that a kill rarely comes after a save
// that went faster than usual). Before each run |reset| puts the old
// content back; after each kill |check| tells where the kill landed, or ""
// when the file is neither the old content nor the new. Returns how many
// kills landed where, for the report.
std::map<std::string, int> KillThroughout(const std::function<void()>& save, const std::function<void()>& reset,
                                          const std::function<std::string(bool finished)>& check) {
  std::vector<Clock::duration> took;
  for (int i = 0; i < 5; ++i) {
    reset();
    took.push_back(SaveInChild(save, nullptr).took);
  }
  std::sort(took.begin(), took.end());

  const Clock::duration usual = took[0];
  std::map<std::string, int> landed;
  for (int k = 0; k < kKills; ++k) {
    Clock::duration at = usual * (2 * k + 1) / (2 * kKills);
    for (int attempt = 0;; ++attempt) {
      reset();
      const ChildRun run = SaveInChild(save, &at);
      const std::string where = check(run.finished);
      EXPECT_NE(where, "") << "kill " << k << " at "
                           << std::chrono::duration_cast<std::chrono::microseconds>(at).count()
                           << " us left a file that is neither the old nor the new";
      // A save that ended before its kill went faster than the usual one (a
      // busy machine makes them vary): the moment is tried again a little
      // earlier, a few times at most.
      if (run.finished && attempt < 3) {
        at = at * 3 / 4;
        continue;
      }
      ++landed[where];
      break;
    }
  }
  std::cout << "save of " << std::chrono::duration_cast<std::chrono::microseconds>(usual).count() << " us;";
  for (auto& [where, n] : landed) std::cout << " " << n << " " << where << ";";
  std::cout << "\n";
  return landed;
}

// Where a kill landed, from what it left: the file itself, and the temporary
// file the save writes first.
std::string Landed(const std::string& file, const std::string& temp, const std::string& oldBytes,
                   const std::string& newBytes, bool finished) {
  const std::string bytes = simtest::ReadHostFile(file);
  if (bytes == newBytes) return finished ? "after the save" : "after the replace";
  if (bytes != oldBytes) return "";
  if (!std::filesystem::exists(temp)) return "before the new file";
  const auto size = std::filesystem::file_size(temp);
  return size < newBytes.size() ? "while writing the new file" : "before the replace";
}

class KillTest : public ::testing::Test {
 protected:
  ListTestMachine m;
};

TEST_F(KillTest, AListKilledDuringItsSaveIsTheOldOrTheNewWhole) {
  const std::string file = m.ProgramDir() + "allowit.ppe";
  auto listOf = [](const char* word) {
    TWinDescrList list;
    for (int i = 0; i < 100000; ++i)
      list.AddDescr("", Format("%s%d", {word, i}), Format("*%s%d*", {word, i}), "", 3, 0, 86400 + i);
    return list;
  };
  TWinDescrList oldList = listOf("old"), newList = listOf("new");
  auto bytesOf = [&](TWinDescrList& list) {
    list.Modified = true;
    list.SaveList("allowit.ppe");
    return m.ReadFile(file);
  };
  const std::string newBytes = bytesOf(newList), oldBytes = bytesOf(oldList);
  // Both contents load whole, so a file that is byte for byte one of them
  // loads as that list.
  for (const std::string* bytes : {&oldBytes, &newBytes}) {
    m.WriteFile(file, *bytes);
    TWinDescrList loaded;
    loaded.LoadList("allowit.ppe");
    ASSERT_EQ(loaded.Count(), 100000);
    EXPECT_EQ(loaded.Get(99999), (bytes == &oldBytes ? oldList : newList).Get(99999));
  }

  newList.Modified = true;
  const std::string host = m.HostPath(file);
  const auto landed = KillThroughout([&] { newList.SaveList("allowit.ppe"); }, [&] { m.WriteFile(file, oldBytes); },
                                     [&](bool finished) { return Landed(host, host + ".tmp", oldBytes, newBytes, finished); });
  EXPECT_EQ(landed.count(""), 0u);
  // Most kills met the save under way; a test whose kills all came too late would prove nothing.
  EXPECT_LT(landed.count("after the save") ? landed.at("after the save") : 0, kKills / 2);
}

TEST_F(KillTest, TheRegistryKilledDuringItsSaveIsTheOldOrTheNewWhole) {
  // A registry of 200 keys of 100 values; the change the child makes sets
  // one more value, and every change saves the whole file.
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n";
  for (int k = 0; k < 200; ++k) {
    text += Format("[HKEY_CURRENT_USER\\Software\\Kill\\Key%d]\r\n", {k});
    for (int v = 0; v < 100; ++v) text += Format("\"Value%d\"=\"%d\"\r\n", {v, v});
    text += "\r\n";
  }
  sim::SimRegistry& reg = m.Machine().Registry();
  std::string error;
  ASSERT_TRUE(reg.ImportText(text, "kill.reg", &error)) << error;
  const std::string file = m.Machine().Root() + "/registry.reg";
  const std::string oldBytes = simtest::ReadHostFile(file);
  ASSERT_EQ(oldBytes, reg.ExportText());
  auto change = [](sim::SimRegistry& r) {
    r.SetValue(plat::RegRoot::ClassesRoot, "Kill", "Changed", sim::SimRegistry::Dword(1));
  };
  sim::SimRegistry changed{""};
  ASSERT_TRUE(changed.ImportText(oldBytes, "old.reg", &error)) << error;
  change(changed);
  const std::string newBytes = changed.ExportText();
  // Both contents load whole.
  for (const std::string* bytes : {&oldBytes, &newBytes}) {
    sim::SimRegistry loaded{""};
    ASSERT_TRUE(loaded.ImportText(*bytes, "registry.reg", &error)) << error;
    EXPECT_EQ(loaded.ExportText(), *bytes);
  }

  const auto landed = KillThroughout([&] { change(reg); }, [&] { simtest::WriteHostFile(file, oldBytes); },
                                     [&](bool finished) { return Landed(file, file + ".tmp", oldBytes, newBytes, finished); });
  EXPECT_EQ(landed.count(""), 0u);
  EXPECT_LT(landed.count("after the save") ? landed.at("after the save") : 0, kKills / 2);
}

}  // namespace
