#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>

#include "app/CommandLineTool.h"

namespace fs = std::filesystem;

namespace {

struct ToolRun {
  int status;
  std::string out, err;
};

ToolRun Tool(const std::vector<CString>& args) {
  std::ostringstream out, err;
  const int status = RunTool(ParseToolRequest(args), out, err);
  return {status, out.str(), err.str()};
}

// The real program with an environment of its own: its status and what it
// wrote on both streams.
ToolRun Program(const std::string& env, const std::string& args) {
  const std::string command = "env " + env + " " ORV_PROGRAM " " + args + " 2>&1";
  FILE* p = ::popen(command.c_str(), "r");
  std::string text;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) text.append(buffer, n);
  const int status = ::pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text, text};
}

std::string FirstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST(CommandLineTool, RequestsAndUsageErrors) {
  EXPECT_EQ(ParseToolRequest({"model.x"}).mode, ToolRequest::Mode::None);
  EXPECT_EQ(ParseToolRequest({"--nologo"}).mode, ToolRequest::Mode::None);
  const ToolRequest c = ParseToolRequest({"--convert", "a.x", "b.x", "--x-format", "compressed-binary"});
  EXPECT_EQ(c.mode, ToolRequest::Mode::Convert);
  EXPECT_EQ(c.output, "b.x");
  EXPECT_EQ(c.xFormat, "compressed-binary");
  EXPECT_FALSE(ParseToolRequest({"--convert", "a.x"}).error.empty());
  EXPECT_FALSE(ParseToolRequest({"--info", "a.x", "--x-format", "zip"}).error.empty());
  const ToolRun help = Tool({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--info", "--convert", "--x-format", "--nologo", "--quit-after-start"})
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
}

TEST(CommandLineTool, InfoListsMeshesParentsFirstAndTotals) {
  const ToolRun r = Tool({"--info", CString(ORV_CORPUS_DIR) + "/x/dxsdk-legacy/heli.x"});
  ASSERT_EQ(r.status, 0) << r.err;
  std::istringstream lines(r.out);
  std::string line, last;
  int meshes = 0;
  while (std::getline(lines, line)) {
    if (line.rfind("total:", 0) == 0) last = line;
    else ++meshes;
  }
  EXPECT_EQ(r.out.rfind("mesh \"", 0), 0u);  // the loaded object comes first
  EXPECT_EQ(last, "total: meshes=10 vertices=421 faces=793 materials=19 textures=0");
  EXPECT_EQ(meshes, 10);
}

TEST(CommandLineTool, FailuresGiveOneLineAndStatusOne) {
  const fs::path dir = fs::temp_directory_path() / "orv_tool_test";
  fs::create_directories(dir);
  std::ofstream(dir / "broken.x") << "xof 0302txt 0032\nMesh { 3; 0;0;";
  const struct {
    std::vector<CString> args;
    const char* names;
  } cases[] = {
      {{"--info", (dir / "missing.x").string()}, "missing.x"},
      {{"--info", (dir / "broken.x").string()}, "broken.x"},
      {{"--info", CString(ORV_CORPUS_DIR) + "/x/assimp/OV_GetNextToken"}, "OV_GetNextToken"},
      {{"--convert", (dir / "missing.x").string(), (dir / "out.x").string()}, "missing.x"},
  };
  for (const auto& k : cases) {
    const ToolRun r = Tool(k.args);
    EXPECT_EQ(r.status, 1) << k.names;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    EXPECT_NE(r.err.find(k.names), std::string::npos) << r.err;
  }
  EXPECT_FALSE(fs::exists(dir / "out.x"));
  fs::remove_all(dir);
}

TEST(CommandLineTool, EveryCorpusModelConvertsToEachEncodingAndBack) {
  const fs::path dir = fs::temp_directory_path() / "orv_tool_convert";
  fs::create_directories(dir);
  auto total = [](const std::string& out) { return out.substr(out.rfind("total:")); };
  int files = 0;
  for (const auto& e : fs::recursive_directory_iterator(fs::path(ORV_CORPUS_DIR) / "x")) {
    if (StrUpper(e.path().extension().string()) != ".X") continue;
    ++files;
    const ToolRun before = Tool({"--info", e.path().string()});
    ASSERT_EQ(before.status, 0) << e.path() << before.err;
    for (const char* format : {"text", "binary", "compressed-text", "compressed-binary"}) {
      const CString out = (dir / "converted.x").string();
      const ToolRun c = Tool({"--convert", e.path().string(), out, "--x-format", format});
      ASSERT_EQ(c.status, 0) << e.path() << " " << format << c.err;
      const ToolRun after = Tool({"--info", out});
      ASSERT_EQ(after.status, 0) << e.path() << " " << format << after.err;
      EXPECT_EQ(total(after.out), total(before.out)) << e.path() << " " << format;
    }
  }
  EXPECT_GE(files, 30);
  fs::remove_all(dir);
}

// Unknown options and other usage errors: one line, then the usage, and
// status 2, from the tool and from the program; the window program's own
// options and Qt's are not refused.
TEST(CommandLineTool, UsageErrorsExitWithTwoAndShowTheUsage) {
  const struct {
    std::vector<CString> args;
    const char* line;
  } cases[] = {
      {{"--bogus"}, "Orvane: unknown option \"--bogus\""},
      {{"model.x", "-q"}, "Orvane: unknown option \"-q\""},
      {{"--info"}, "Orvane: --info needs a file name"},
      {{"--convert", "a.x", "b.x", "--x-format", "zip"},
       "Orvane: unknown --x-format \"zip\" (text, binary, compressed-text or compressed-binary)"},
  };
  for (const auto& k : cases) {
    const ToolRun r = Tool(k.args);
    EXPECT_EQ(r.status, 2) << k.line;
    EXPECT_EQ(FirstLine(r.err), k.line);
    EXPECT_EQ(r.err.substr(r.err.find('\n') + 1), ToolHelpText());
    EXPECT_EQ(r.out, "");
  }
  for (const std::vector<CString>& window : std::vector<std::vector<CString>>{
           {"--nologo", "model.x"}, {"-platform", "offscreen", "--quit-after-start"}, {"--", "-odd name.x"}}) {
    const ToolRequest r = ParseToolRequest(window);
    EXPECT_EQ(r.mode, ToolRequest::Mode::None);
    EXPECT_EQ(r.error, "") << window[0];
  }
  const ToolRun program = Program("QT_QPA_PLATFORM=offscreen", "--frobnicate");
  EXPECT_EQ(program.status, 2);
  EXPECT_EQ(FirstLine(program.out), "Orvane: unknown option \"--frobnicate\"");
}

TEST(CommandLineTool, VersionIsPrinted) {
  const ToolRun r = Tool({"--version"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Orvane " ORV_VERSION "\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(Program("-u DISPLAY", "--version").out, "Orvane " ORV_VERSION "\n");
}

// Every file is reported: listings under a line naming the file, failures as
// one line each; status 1 when any failed.
TEST(CommandLineTool, InfoReportsEachOfSeveralFiles) {
  const fs::path dir = fs::temp_directory_path() / "orv_tool_several";
  fs::create_directories(dir / "folder.x");
  const CString heli = CString(ORV_CORPUS_DIR) + "/x/dxsdk-legacy/heli.x";
  const CString cube = CString(ORV_CORPUS_DIR) + "/x/assimp/test_cube_text.x";
  const CString missing = (dir / "missing.x").string(), folder = (dir / "folder.x").string();
  const ToolRun r = Tool({"--info", heli, missing, cube, folder});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "Orvane: cannot load \"" + missing + "\": The file does not exist.\n"
                   "Orvane: cannot load \"" + folder + "\": It is a directory, not a file.\n");
  std::vector<std::string> heads, totals;
  std::istringstream lines(r.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("file ", 0) == 0) heads.push_back(line);
    if (line.rfind("total:", 0) == 0) totals.push_back(line);
  }
  EXPECT_EQ(heads, (std::vector<std::string>{"file \"" + heli + "\"", "file \"" + cube + "\""}));
  ASSERT_EQ(totals.size(), 2u);
  EXPECT_EQ(totals[0], "total: meshes=10 vertices=421 faces=793 materials=19 textures=0");
  EXPECT_EQ(Tool({"--info", heli, cube}).status, 0);
  fs::remove_all(dir);
}

// Without a display the window program says so in one line and exits with
// 1 instead of letting Qt abort; the tools run all the same.
TEST(CommandLineTool, NoDisplayIsOneLineAndStatusOne) {
  const ToolRun r = Program("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "--nologo");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Orvane: the window program needs a display (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                   "--info and --convert work without one\n");
  const ToolRun x11 = Program("-u DISPLAY QT_QPA_PLATFORM=xcb", "");
  EXPECT_EQ(x11.status, 1);
  EXPECT_EQ(FirstLine(x11.out), "Orvane: the window program needs a display (DISPLAY is not set); "
                                "--info and --convert work without one");
  const ToolRun deadX11 = Program("-u WAYLAND_DISPLAY -u QT_QPA_PLATFORM DISPLAY=:9731", "");
  EXPECT_EQ(deadX11.status, 1);
  EXPECT_EQ(deadX11.out, "Orvane: the window program cannot open the display \":9731\"; "
                         "--info and --convert work without one\n");
  EXPECT_FALSE(X11DisplayReachable(":9731"));
  EXPECT_FALSE(X11DisplayReachable("no display"));
  EXPECT_TRUE(X11DisplayReachable("elsewhere.example:0"));
  const ToolRun info =
      Program("-u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM", "--info " ORV_CORPUS_DIR "/x/assimp/test_cube_text.x");
  EXPECT_EQ(info.status, 0) << info.out;

}

namespace {
std::map<std::string, std::string> g_Env;
const char* FakeEnv(const char* name) {
  const auto it = g_Env.find(name);
  return it == g_Env.end() ? nullptr : it->second.c_str();
}
bool EveryDisplayAnswers(const CString&) { return true; }
}  // namespace

// Which settings count as a display: a display server for xcb or Wayland,
// none for platforms that draw elsewhere, by environment or by option.
TEST(CommandLineTool, DisplayProblemFollowsThePlatform) {
  const struct {
    std::map<std::string, std::string> env;
    std::vector<CString> args;
    bool problem;
  } cases[] = {
      {{}, {}, true},
      {{{"DISPLAY", ":0"}}, {}, false},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, {}, false},
      {{{"DISPLAY", ""}}, {}, true},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, {}, false},
      {{{"QT_QPA_PLATFORM", "xcb"}, {"WAYLAND_DISPLAY", "wayland-0"}}, {}, true},
      {{{"QT_QPA_PLATFORM", "wayland"}, {"WAYLAND_DISPLAY", "wayland-0"}}, {}, false},
      {{}, {"-platform", "offscreen"}, false},
      {{{"QT_QPA_PLATFORM", "offscreen"}}, {"-platform", "xcb"}, true},
  };
  for (const auto& k : cases) {
    g_Env = k.env;
    EXPECT_EQ(!DisplayProblem(k.args, FakeEnv, EveryDisplayAnswers).empty(), k.problem)
        << k.env.size() << " " << k.args.size();
  }
}

// A save onto a directory fails with that reason (the temporary's removal
// used to overwrite the rename's error and report "Success"); a file that is
// replaced keeps its permissions.
TEST(CommandLineTool, SavingOntoADirectoryFailsAndReplacedFilesKeepTheirPermissions) {
  const fs::path dir = fs::temp_directory_path() / "orv_tool_save";
  fs::create_directories(dir / "taken.x");
  const CString in = CString(ORV_CORPUS_DIR) + "/x/assimp/test_cube_text.x";
  const CString taken = (dir / "taken.x").string();
  const ToolRun onto = Tool({"--convert", in, taken});
  EXPECT_EQ(onto.status, 1);
  EXPECT_EQ(onto.err, "Orvane: cannot save \"" + taken + "\": It is a directory, not a file.\n");
  EXPECT_TRUE(fs::is_directory(taken));
  const ToolRun nowhere = Tool({"--convert", in, (dir / "no" / "out.x").string()});
  EXPECT_EQ(nowhere.err, "Orvane: cannot save \"" + (dir / "no" / "out.x").string() +
                             "\": A folder on the path does not exist or is not a folder.\n");
  const fs::path kept = dir / "kept.x";
  std::ofstream(kept) << "old";
  ::chmod(kept.c_str(), 0640);
  ASSERT_EQ(Tool({"--convert", in, kept.string()}).status, 0);
  struct stat st {};
  ASSERT_EQ(::stat(kept.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_NE(st.st_size, 3);
  size_t leftovers = 0;
  for (const auto& e : fs::directory_iterator(dir)) leftovers += e.path().filename().string()[0] == '.';
  EXPECT_EQ(leftovers, 0u);
  fs::remove_all(dir);
}

TEST(CommandLineTool, ConvertRemovesTheTemporariesOfKilledRunsOfTheSameTarget) {
  const fs::path dir = fs::temp_directory_path() / ("orv_tool_stale_" + std::to_string(::getpid()));
  fs::create_directories(dir);
  // The number of a process that has ended.
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ASSERT_GT(child, 0);
  ASSERT_EQ(::waitpid(child, nullptr, 0), child);
  const std::string dead = std::to_string(child);
  const std::vector<std::string> stale = {".orvane-" + dead + "-out.x", "..orvane-" + dead + "-out.x.Ab12Cd",
                                          "..orvane-" + dead + "-out.x." + dead + ".Ab12Cd"};
  const std::string other = ".orvane-" + dead + "-other.x";
  for (const std::string& name : stale) std::ofstream(dir / name) << "partial";
  std::ofstream(dir / other) << "partial";

  const ToolRun r = Tool({"--convert", CString(ORV_CORPUS_DIR) + "/x/dxsdk-legacy/Cube.x", (dir / "out.x").string()});
  EXPECT_EQ(r.status, 0) << r.err;
  std::vector<std::string> left;
  for (const auto& e : fs::directory_iterator(dir)) left.push_back(e.path().filename());
  std::sort(left.begin(), left.end());
  EXPECT_EQ(left, (std::vector<std::string>{other, "out.x"}));
  fs::remove_all(dir);
}

// Each texture says whether its image was found and decoded, and its size.
TEST(CommandLineTool, InfoReportsTheImageOfEachTexture) {
  const ToolRun r = Tool({"--info", CString(ORV_CORPUS_DIR) + "/x/assimp/kwxport_test_cubewithvcolors.x",
                          CString(ORV_CORPUS_DIR) + "/x/dxsdk-legacy/alley_skybox.x"});
  std::istringstream lines(r.out);
  std::vector<std::string> decoded, other;
  for (std::string line; std::getline(lines, line);) {
    if (line.find("texture \"") == std::string::npos) continue;
    (line.find("image=decoded size=256x256") != std::string::npos ? decoded : other).push_back(line);
  }
  EXPECT_EQ(decoded.size(), 3u) << r.out;  // bottom.tga, top.tga, updown.tga named with Windows folders
  for (const std::string& l : decoded) EXPECT_NE(l.find(".tga\""), std::string::npos) << l;
  // The skybox names a .dds image, which no reader takes.
  ASSERT_FALSE(other.empty()) << r.out;
  EXPECT_NE(other[0].find("image=unsupported-format"), std::string::npos) << other[0];
}
