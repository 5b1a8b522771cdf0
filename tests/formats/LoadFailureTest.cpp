// What the user is told when a model cannot be loaded: one message that
// names the file and a reason to act on, and warnings for texture images
// that are missing.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

#include "formats/ReadDirectX.h"
#include "support/EngineFixture.h"

namespace fs = std::filesystem;

namespace {

std::string Bytes(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The first half of a corpus file.
std::string FirstHalf(const char* name, size_t* size) {
  const std::string all = Bytes(fs::path(ORV_CORPUS_DIR) / "x" / "assimp" / name);
  *size = all.size() / 2;
  return all.substr(0, *size);
}

class LoadFailureTest : public EngineTest {
 protected:
  LoadFailureTest() {
    Attach();
    dir = fs::temp_directory_path() / ("orv_loadfail_" + std::to_string(::getpid()));
    fs::create_directories(dir);
  }
  ~LoadFailureTest() override {
    std::error_code ec;
    fs::remove_all(dir, ec);
  }
  // The messages of loading `path`, one per line, and the result.
  std::vector<RecordingHost::Message> Load(const CString& path, LONG* result) {
    host.messages.clear();
    CMeshObject* mesh = engine->CreateObject();
    *result = mesh->Load(path);
    return host.messages;
  }
  fs::path dir;
};

// Loading the file as a user without the right to read it (tests often run
// as root, which reads everything): the message, "cannot change user" when
// the test may not become another user, "" when the child died.
std::string MessageAsAnotherUser(const std::function<std::string()>& load) {
  int pipeEnds[2];
  if (::pipe(pipeEnds) != 0) return "";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipeEnds[0]);
    const std::string text = ::setgid(65534) == 0 && ::setuid(65534) == 0 ? load() : "cannot change user";
    if (::write(pipeEnds[1], text.data(), text.size()) < 0) _exit(1);
    _exit(0);
  }
  ::close(pipeEnds[1]);
  std::string text;
  char buffer[512];
  ssize_t n;
  while ((n = ::read(pipeEnds[0], buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
  ::close(pipeEnds[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return text;
}

}  // namespace

TEST_F(LoadFailureTest, EachBrokenInputGivesOneMessageNamingTheFileAndTheReason) {
  size_t binaryCut = 0, compressedCut = 0;
  const std::string binaryHalf = FirstHalf("test_cube_binary.x", &binaryCut);
  const std::string compressedHalf = FirstHalf("test_cube_compressed.x", &compressedCut);
  struct Row {
    const char* name;
    std::string content;  // written as the file unless the row is a directory or missing
    std::string reason;
  };
  const Row rows[] = {
      {"truncated_text.x", "xof 0302txt 0032\nMesh {\n 3;\n 0;0;0;,\n 1;0;\n\n", "The file ends too early (line 5)."},
      {"truncated_binary.x", binaryHalf, StrFormat("The file ends too early (byte %zu).", binaryCut)},
      {"truncated_compressed.x", compressedHalf, StrFormat("The file ends too early (byte %zu).", compressedCut)},
      {"truncated_header.x", "xof 0302t", "The file ends too early (line 1)."},
      {"empty.x", "", "The file is empty."},
      {"picture.x", "GIF89a..........", "It is not a DirectX file (its header is wrong)."},
      {"old.x", "xof 0201txt 0032\n", "Its DirectX version is not one the program reads (0302 or 0303)."},
      {"not_a_number.x", "xof 0302txt 0032\nMesh {\n 3;\n 0;abc;0;,\n", "\"abc\" is not a number (line 4)."},
      {"huge_count.x", "xof 0302txt 0032\nMesh {\n 4000000000;\n 0;0;0;,\n}\n",
       "The count 4000000000 runs past the end of the file (line 3)."},
      {"stray.x", "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;; }\n}\n",
       "The file could not be parsed (line 3)."},
      {"folder.x", "", "It is a directory, not a file."},
      {"missing.x", "", "The file does not exist."},
  };
  for (const Row& row : rows) {
    const fs::path p = dir / row.name;
    if (row.name == std::string("folder.x")) fs::create_directories(p);
    else if (row.name != std::string("missing.x")) std::ofstream(p, std::ios::binary) << row.content;
    LONG result = 0;
    const auto messages = Load(p.string(), &result);
    SCOPED_TRACE(row.name);
    EXPECT_LT(result, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Cannot load \"" + p.string() + "\": " + row.reason);
    EXPECT_EQ(messages[0].type, MB_OK | MB_ICONERROR);
  }
}

TEST_F(LoadFailureTest, AFileWithoutReadPermissionSaysPermissionDenied) {
  const fs::path p = dir / "locked.x";
  std::ofstream(p) << "xof 0302txt 0032\n";
  fs::permissions(p, fs::perms::none);
  const std::string expected = "Cannot load \"" + p.string() + "\": Permission denied.";
  if (::geteuid() != 0) {
    LONG result = 0;
    const auto messages = Load(p.string(), &result);
    EXPECT_LT(result, 0);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, expected);
    return;
  }
  // Root reads any file: the load runs as an ordinary user in a child.
  fs::permissions(dir, fs::perms::owner_all | fs::perms::others_exec | fs::perms::group_exec);
  const std::string text = MessageAsAnotherUser([&] {
    LONG result = 0;
    const auto messages = Load(p.string(), &result);
    return messages.size() == 1 && result < 0 ? messages[0].text : std::string("no single failure");
  });
  if (text == "cannot change user") GTEST_SKIP() << "cannot run as another user here";
  EXPECT_EQ(text, expected);
}

// A missing texture image does not fail the load: one warning per image
// file, naming the image as the model gives it and the model.
TEST_F(LoadFailureTest, AMissingTextureIsOneWarningPerImageFile) {
  const fs::path p = dir / "textured.x";
  std::ofstream(p) << "xof 0302txt 0032\n"
                      "Mesh {\n 3; 0;0;0;, 1;0;0;, 0;1;0;;\n 2; 3;0,1,2;, 3;0,2,1;;\n"
                      " MeshMaterialList { 2; 2; 0, 1;;\n"
                      "  Material { 1;1;1;1;; 5; 0;0;0;; 0;0;0;; TextureFilename { \"tex\\\\wood.bmp\"; } }\n"
                      "  Material { 1;0;0;1;; 5; 0;0;0;; 0;0;0;; TextureFilename { \"tex\\\\wood.bmp\"; } }\n"
                      " }\n"
                      " MeshTextureCoords { 3; 0;0;, 1;0;, 0;1;; }\n"
                      "}\n";
  LONG result = -1;
  const auto messages = Load(p.string(), &result);
  EXPECT_EQ(result, 0);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].text, "The texture file \"tex/wood.bmp\" of \"" + p.string() +
                                  "\" was not found; the faces that use it are drawn without it.");
  EXPECT_EQ(messages[0].type, MB_OK | MB_ICONWARNING);
}
