// Remote controls without a keyboard: the mapping files and lircd's buttons becoming keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/KeyRepeat.h"
#include "app/RemoteInputs.h"
#include "app/RemoteKeyMap.h"
#include "base/Logging.h"
#include "platform/CecClient.h"
#include "platform/LircClient.h"
#include "support/FakeLircd.h"
#include "support/TestSupport.h"

namespace lorvane {
namespace {

const std::string kSourceConf = std::string(LORVANE_SOURCE_DIR) + "/conf/";

// The log lines said while it exists.
class CapturedLog {
 public:
  CapturedLog() {
    logger.SetEchoList(&lines);
    SetGlobalLogger(&logger);
  }
  ~CapturedLog() {
    SetGlobalLogger(nullptr);
    logger.SetEchoList(nullptr);
  }
  int Count(const std::string& text) const {
    return static_cast<int>(
        std::count_if(lines.begin(), lines.end(), [&](const std::string& l) { return l.find(text) != std::string::npos; }));
  }
  std::string All() const {
    std::string all;
    for (const std::string& l : lines) all += l + "\n";
    return all;
  }
  TKLDLogger logger;
  std::vector<std::string> lines;
};

TEST(RemoteKeyMapTest, TheShippedLircFileMapsTheStandardInputNames) {
  TRemoteKeyMap map;
  std::vector<std::string> warnings;
  std::string problem;
  ASSERT_TRUE(map.Load(kSourceConf + TRemoteKeyMap::kLircFile, "LircButtons", warnings, problem)) << problem;
  EXPECT_EQ(warnings, std::vector<std::string>{});
  struct Expect {
    const char* name;
    int key;
    bool repeats;
  };
  // The codes "KeyBindings.xml" binds for the keyboard, so either profile reaches the actions.
  for (Expect e : {Expect{"KEY_UP", 0x26, true}, {"KEY_DOWN", 0x28, true}, {"KEY_LEFT", 0x25, true},
                   {"KEY_RIGHT", 0x27, true}, {"KEY_OK", 0x0D, false}, {"KEY_ENTER", 0x0D, false},
                   {"KEY_BACK", 0x08, false}, {"KEY_EXIT", 0x1B, false}, {"KEY_PLAYPAUSE", 0xB3, false},
                   {"KEY_PLAY", 0xFA, false}, {"KEY_PAUSE", 0x13, false}, {"KEY_STOP", 0xB2, false},
                   {"KEY_NEXT", 0xB0, false}, {"KEY_PREVIOUS", 0xB1, false}, {"KEY_FASTFORWARD", 0x46, true},
                   {"KEY_REWIND", 0x52, true}, {"KEY_VOLUMEUP", 0xAF, true}, {"KEY_VOLUMEDOWN", 0xAE, true},
                   {"KEY_MUTE", 0xAD, false}, {"KEY_MENU", 0x24, false}, {"KEY_INFO", 0x09, false},
                   {"KEY_0", 0x30, false}, {"KEY_9", 0x39, false}, {"KEY_NUMERIC_5", 0x35, false},
                   {"KEY_RED", 0x70, false}, {"KEY_BLUE", 0x73, false}}) {
    const TRemoteKey* key = map.Find(e.name);
    ASSERT_NE(key, nullptr) << e.name;
    EXPECT_EQ(key->keyCode, e.key) << e.name;
    EXPECT_EQ(key->repeats, e.repeats) << e.name;
  }
  EXPECT_NE(map.Find("key_up"), nullptr) << "names compare without regard to case";
  EXPECT_EQ(map.Find("KEY_POWER"), nullptr) << "nobody wants the remote to switch lorvane off";
}

TEST(RemoteKeyMapTest, UnusableEntriesAreSkippedAndNamedAndABadFileIsRefused) {
  test::TempDir dir;
  dir.Write("map.xml",
            "<LircButtons>\n"
            "  <Button name=\"KEY_A\" key=\"65\"/>\n"
            "  <Button name=\"KEY_B\" key=\"0x1FF\"/>\n"
            "  <Button name=\"KEY_C\" key=\"zero\"/>\n"
            "  <Button name=\"KEY_D\" key=\"0\"/>\n"
            "  <Button key=\"0x41\"/>\n"
            "  <Knob name=\"KEY_E\" key=\"0x41\"/>\n"
            "  <Button name=\"KEY_A\" key=\"0x42\" repeat=\"yes\"/>\n"
            "  <Button code=\"0x00\" key=\"0x0D\"/>\n"
            "  <Button code=\"x\" key=\"0x0D\"/>\n"
            "</LircButtons>\n");
  TRemoteKeyMap map;
  std::vector<std::string> warnings;
  std::string problem;
  ASSERT_TRUE(map.Load(dir.File("map.xml"), "LircButtons", warnings, problem)) << problem;
  ASSERT_NE(map.Find("KEY_A"), nullptr);
  EXPECT_EQ(map.Find("KEY_A")->keyCode, 0x42) << "the later of two entries wins";
  EXPECT_TRUE(map.Find("KEY_A")->repeats);
  EXPECT_EQ(map.Find("KEY_B"), nullptr);
  EXPECT_EQ(map.Find("KEY_C"), nullptr);
  EXPECT_EQ(map.Find("KEY_D"), nullptr);
  EXPECT_EQ(map.Find("KEY_E"), nullptr);
  ASSERT_NE(map.FindCode(0), nullptr) << "code 0 is a real code, not a reading failure";
  EXPECT_EQ(map.FindCode(0)->keyCode, 0x0D);
  EXPECT_EQ(map.Size(), 2u);
  ASSERT_EQ(warnings.size(), 6u);
  EXPECT_NE(warnings[0].find("\"0x1FF\""), std::string::npos) << warnings[0];
  EXPECT_NE(warnings[4].find("Knob"), std::string::npos) << warnings[4];

  EXPECT_FALSE(map.Load(dir.File("map.xml"), "CecKeys", warnings, problem));
  EXPECT_NE(problem.find("CecKeys"), std::string::npos) << problem;
  EXPECT_FALSE(map.Load(dir.File("missing.xml"), "LircButtons", warnings, problem));
  EXPECT_NE(problem.find("missing.xml"), std::string::npos) << problem;
  dir.Write("broken.xml", "<LircButtons><Button name=\"KEY_A\" key=\"65\">");
  EXPECT_FALSE(map.Load(dir.File("broken.xml"), "LircButtons", warnings, problem));
  EXPECT_EQ(map.Size(), 0u) << "a failed load leaves nothing half-read";
}

TEST(KeyRepeatTest, TheRemotesOwnPaceRepeatsFromItsSecondRepeatReport) {
  TKeyRepeat arrow, play;
  EXPECT_TRUE(arrow.Report(0, true, 0));
  EXPECT_FALSE(arrow.Report(1, true, 108)) << "a short press reported with one repeat is one key";
  EXPECT_TRUE(arrow.Report(TKeyRepeat::kRemoteRepeatCount, true, 216));
  EXPECT_TRUE(arrow.Report(3, true, 324));
  EXPECT_TRUE(arrow.Report(40, true, 4000));
  EXPECT_TRUE(play.Report(0, false, 0));
  EXPECT_FALSE(play.Report(5, false, 540)) << "holding play/pause must not toggle it over and over";
  EXPECT_TRUE(play.Report(0, false, 600)) << "a new press is a key again";
}

// An infra-red remote reports a held button every 108 ms; the keys that come of it, in ms.
std::vector<uint32_t> KeysOfReports(TRepeatTiming timing, uint32_t start, uint32_t until) {
  TKeyRepeat repeat;
  repeat.SetTiming(timing);
  std::vector<uint32_t> keys;
  for (unsigned n = 0; n * 108 <= until; ++n)
    if (repeat.Report(n, true, start + n * 108)) keys.push_back(n * 108);
  return keys;
}

TEST(KeyRepeatTest, AChosenDelayAndRateTimeARemotesOwnReports) {
  // 250 ms, then 8 a second: the first report from 250 ms on repeats, and two seconds of
  // reports at 9.3 a second give 16 keys, not every report and not every other one.
  std::vector<uint32_t> keys = KeysOfReports({250, 8}, 1000, 324 + 2000);
  ASSERT_GE(keys.size(), 2u);
  EXPECT_EQ(keys[0], 0u);
  EXPECT_EQ(keys[1], 324u);
  const size_t repeats = keys.size() - 2;  // after the first repeat
  EXPECT_GE(repeats, 15u);
  EXPECT_LE(repeats, 16u);

  // A delay with the remote's own rate: every report once the delay is over.
  keys = KeysOfReports({500, 0}, 0, 1000);
  EXPECT_EQ(keys, (std::vector<uint32_t>{0, 540, 648, 756, 864, 972}));
  // A rate with the remote's own delay: its second repeat report, then the rate.
  keys = KeysOfReports({0, 2}, 0, 1300);
  EXPECT_EQ(keys, (std::vector<uint32_t>{0, 216, 756, 1296}));
  // A rate above the remote's own gives every report: no key is made up.
  keys = KeysOfReports({100, 30}, 0, 540);
  EXPECT_EQ(keys, (std::vector<uint32_t>{0, 108, 216, 324, 432, 540}));
  // The clock wraps after 49 days without a held button noticing.
  keys = KeysOfReports({250, 8}, 0xFFFFFF00u, 324 + 2000);
  ASSERT_GE(keys.size(), 2u);
  EXPECT_EQ(keys[1], 324u);
  EXPECT_GE(keys.size() - 2, 15u);
}

TEST(KeyRepeatTest, AButtonThatOnlySaysPressedRepeatsByTheClock) {
  TKeyRepeat repeat;
  repeat.SetTiming({400, 10});
  repeat.Press(true, 1000);
  EXPECT_FALSE(repeat.Due(1399));
  EXPECT_TRUE(repeat.Due(1400));
  EXPECT_FALSE(repeat.Due(1400)) << "one repeat each time it is due";
  EXPECT_FALSE(repeat.Due(1499));
  EXPECT_TRUE(repeat.Due(1500));
  // A loop held up for a while goes on at the rate, without a burst to catch up.
  EXPECT_TRUE(repeat.Due(3000));
  EXPECT_FALSE(repeat.Due(3050));
  EXPECT_TRUE(repeat.Due(3100));
  repeat.Release();
  EXPECT_FALSE(repeat.Due(9000));

  // The remote's own pace, for a button without one, is a fixed one.
  TKeyRepeat own;
  own.Press(true, 0xFFFFFFF0u);  // and the clock may wrap on the way
  const uint32_t first = 0xFFFFFFF0u + TKeyRepeat::kOwnDelayMs;
  EXPECT_FALSE(own.Due(first - 1));
  EXPECT_TRUE(own.Due(first));
  EXPECT_FALSE(own.Due(first + 1000 / TKeyRepeat::kOwnPerSecond - 2));
  EXPECT_TRUE(own.Due(first + 1000 / TKeyRepeat::kOwnPerSecond + 1));

  TKeyRepeat select;
  select.Press(false, 0);
  EXPECT_FALSE(select.Due(10000)) << "a button that does not repeat never repeats";

  EXPECT_EQ(TKeyRepeat::Bounded({-20, 500}), (TRepeatTiming{0, TKeyRepeat::kMaxPerSecond}));
  EXPECT_EQ(TKeyRepeat::Bounded({99999, -1}), (TRepeatTiming{TKeyRepeat::kMaxDelayMs, 0}));
}

TEST(RemoteInputsTest, WithoutLircdThereIsOneInfoLineAndNothingElse) {
  CapturedLog log;
  test::TempDir dir;
  TRemoteInputs inputs([](int, uint32_t) { ADD_FAILURE() << "no key can come"; }, nullptr);
  inputs.StartLirc(kSourceConf, dir.File("no-lircd"));
  inputs.Poll();
  EXPECT_FALSE(inputs.LircRunning());
  ASSERT_EQ(log.lines.size(), 1u) << log.All();
  EXPECT_NE(log.lines[0].find(" INFO: No lircd at " + dir.File("no-lircd")), std::string::npos) << log.All();
}

TEST(RemoteInputsTest, LircButtonsBecomeKeysThroughTheMapping) {
  CapturedLog log;
  test::TempDir dir;
  test::FakeLircd lircd(dir.File("lircd"));
  std::vector<int> keys;
  TRemoteInputs inputs([&](int key, uint32_t) { keys.push_back(key); }, nullptr);
  inputs.StartLirc(kSourceConf, dir.File("lircd"));
  ASSERT_TRUE(inputs.LircRunning()) << log.All();
  ASSERT_TRUE(lircd.Accept());
  ASSERT_TRUE(lircd.Send("0000000000000067 00 KEY_UP devinput\n"
                         "0000000000000067 01 KEY_UP devinput\n"
                         "0000000000000067 02 KEY_UP devinput\n"
                         "00000000000000a4 00 KEY_PLAYPAUSE devinput\n"
                         "00000000000000a4 03 KEY_PLAYPAUSE devinput\n"
                         "0000000000000074 00 KEY_POWER devinput\n"
                         "0000000000000074 00 KEY_POWER devinput\n"
                         "garbage\n"
                         "000000000000001c 00 key_ok other_remote\n"));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (keys.size() < 4 && std::chrono::steady_clock::now() < deadline) {
    inputs.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  EXPECT_EQ(keys, (std::vector<int>{0x26, 0x26, 0xB3, 0x0D}));
  EXPECT_EQ(log.Count(" WARN: Ignoring a malformed line from lircd: \"garbage\""), 1) << log.All();
  EXPECT_EQ(log.Count("KEY_POWER"), 1) << "unknown buttons are ignored, told once" << log.All();
  EXPECT_EQ(log.Count("DEBUG: Ignoring the LIRC button KEY_POWER of devinput"), 1) << log.All();
}

TEST(RemoteInputsTest, LircKeysCarryTheTimeTheyWereReadNotWhenTheyWereTaken) {
  CapturedLog log;
  test::TempDir dir;
  test::FakeLircd lircd(dir.File("lircd"));
  std::vector<uint32_t> arrivals;
  TRemoteInputs inputs([&](int, uint32_t arrived) { arrivals.push_back(arrived); }, nullptr);
  inputs.StartLirc(kSourceConf, dir.File("lircd"));
  ASSERT_TRUE(inputs.LircRunning()) << log.All();
  ASSERT_TRUE(lircd.Accept());
  ASSERT_TRUE(lircd.Send("0000000000000067 00 KEY_UP devinput\n"));
  std::this_thread::sleep_for(std::chrono::milliseconds(60));
  ASSERT_TRUE(lircd.Send("0000000000000067 00 KEY_UP devinput\n"));
  // The loop was busy: both presses are taken in one pass.
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (arrivals.size() < 2 && std::chrono::steady_clock::now() < deadline) {
    inputs.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  ASSERT_EQ(arrivals.size(), 2u);
  EXPECT_GE(arrivals[1] - arrivals[0], 50u);
}

// lircd restarts while a button is held, cutting a line in two: the half line is no key, the held
// button's repeats before stay the keys they were, and presses after the restart come through.
TEST(RemoteInputsTest, LircdGoingAwayAndComingBackWhileAButtonIsHeldLosesNothing) {
  CapturedLog log;
  test::TempDir dir;
  std::vector<int> keys;
  TRemoteInputs inputs([&](int key, uint32_t) { keys.push_back(key); }, nullptr);
  auto pollUntil = [&](size_t count, int seconds) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
    while (keys.size() < count && std::chrono::steady_clock::now() < deadline) {
      inputs.Poll();
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  };
  {
    test::FakeLircd lircd(dir.File("lircd"));
    inputs.StartLirc(kSourceConf, dir.File("lircd"));
    ASSERT_TRUE(inputs.LircRunning()) << log.All();
    ASSERT_TRUE(lircd.Accept());
    ASSERT_TRUE(lircd.Send("0000000000000067 00 KEY_UP devinput\n"
                           "0000000000000067 01 KEY_UP devinput\n"
                           "0000000000000067 02 KEY_UP devinput\n"
                           "0000000000000067 03 KEY_"));
    pollUntil(2, 10);
  }
  EXPECT_EQ(keys, (std::vector<int>{0x26, 0x26}));
  test::FakeLircd again(dir.File("lircd"));
  ASSERT_TRUE(again.Accept(static_cast<int>(TLircClient::kReconnectMs) + 5000));
  ASSERT_TRUE(again.Send("0000000000000067 07 KEY_UP devinput\n"
                         "000000000000001c 00 KEY_OK devinput\n"));
  pollUntil(4, 10);
  EXPECT_EQ(keys, (std::vector<int>{0x26, 0x26, 0x26, 0x0D}));
  EXPECT_EQ(log.Count("malformed"), 0) << log.All();
  EXPECT_EQ(log.Count("WARN: Lost the connection to lircd"), 1) << log.All();
  EXPECT_EQ(log.Count("INFO: Connected to lircd again"), 1) << log.All();
}

TEST(RemoteInputsTest, LircdWithoutAMappingFileIsToldAndReadsNothing) {
  CapturedLog log;
  test::TempDir dir;
  test::FakeLircd lircd(dir.File("lircd"));
  TRemoteInputs inputs([](int, uint32_t) {}, nullptr);
  inputs.StartLirc(dir.Path(), dir.File("lircd"));
  EXPECT_FALSE(inputs.LircRunning());
  EXPECT_EQ(log.Count(" WARN: LIRC remote controls are off: "), 1) << log.All();
}

TEST(RemoteInputsTest, TheTvsKeysMapThroughTheirFileWithoutAnAdapter) {
  CapturedLog log;
  std::vector<int> keys;
  int standbys = 0;
  TRemoteInputs inputs([&](int key, uint32_t) { keys.push_back(key); }, nullptr);
  inputs.SetStandbyHandler([&] { ++standbys; });
  TRemoteKeyMap map;
  std::vector<std::string> warnings;
  std::string problem;
  ASSERT_TRUE(map.Load(kSourceConf + TRemoteKeyMap::kCecFile, "CecKeys", warnings, problem)) << problem;
  EXPECT_EQ(warnings, std::vector<std::string>{});
  ASSERT_NE(map.FindCode(0x00), nullptr);
  EXPECT_EQ(map.FindCode(0x00)->keyCode, 0x0D) << "Select is OK";
  EXPECT_EQ(map.FindCode(0x44)->keyCode, 0xFA);
  EXPECT_EQ(map.FindCode(0x91)->keyCode, 0x08) << "Return is Back";
  EXPECT_EQ(map.FindCode(0x40), nullptr) << "Power is left to the TV";

  inputs.StartCec(kSourceConf);
  // Up held (the TV repeats it), released, then Play held: only Up repeats, after the delay.
  for (int i = 0; i < 4; ++i) inputs.HandleCec({TCecEvent::Pressed, 0x01});
  inputs.HandleCec({TCecEvent::Released, 0x01});
  inputs.HandleCec({TCecEvent::Pressed, 0x01});
  for (int i = 0; i < 3; ++i) inputs.HandleCec({TCecEvent::Pressed, 0x44});
  inputs.HandleCec({TCecEvent::Pressed, 0x40});  // not mapped
  EXPECT_EQ(keys, (std::vector<int>{0x26, 0x26, 0x26, 0x26, 0xFA}));
  inputs.HandleCec({TCecEvent::Standby, 0});
  EXPECT_EQ(standbys, 1);

  // Without an adapter (or without libcec) one INFO line says so, soon and once.
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  auto said = [&] { return log.Count(" INFO: No HDMI-CEC adapter") + log.Count(" INFO: Built without libcec"); };
  while (said() == 0 && std::chrono::steady_clock::now() < deadline) {
    inputs.Poll();
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  inputs.Poll();
  EXPECT_EQ(said(), 1) << log.All();
}

TEST(RemoteInputsTest, TheChosenPaceTimesTheTvsRepeatsAndAReleaseEndsThem) {
  CapturedLog log;
  std::vector<int> keys;
  uint32_t now = 5000;
  TRemoteInputs inputs([&](int key, uint32_t) { keys.push_back(key); }, nullptr);
  inputs.SetClock([&] { return now; });
  inputs.StartCec(kSourceConf);
  inputs.SetRepeatTiming({300, 5});
  // Up held for a second, the TV saying so every 100 ms: the press, 300 ms, then every 200 ms.
  std::vector<uint32_t> at;
  for (int i = 0; i <= 10; ++i, now += 100) {
    size_t before = keys.size();
    inputs.HandleCec({TCecEvent::Pressed, 0x01});
    if (keys.size() > before) at.push_back(now - 5000);
  }
  EXPECT_EQ(at, (std::vector<uint32_t>{0, 300, 500, 700, 900}));
  // Let go and pressed again: a new press, and its own delay.
  inputs.HandleCec({TCecEvent::Released, 0x01});
  keys.clear();
  for (int i = 0; i < 3; ++i, now += 100) inputs.HandleCec({TCecEvent::Pressed, 0x01});
  EXPECT_EQ(keys, (std::vector<int>{0x26}));
  // Play held does not repeat, whatever the pace.
  keys.clear();
  for (int i = 0; i < 8; ++i, now += 100) inputs.HandleCec({TCecEvent::Pressed, 0x44});
  EXPECT_EQ(keys, (std::vector<int>{0xFA}));
}

}  // namespace
}  // namespace lorvane
