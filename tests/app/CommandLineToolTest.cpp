#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>
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
