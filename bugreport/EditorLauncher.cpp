#include "bugreport/EditorLauncher.h"

#include <spawn.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern char** environ;

std::vector<CString> CEditorLauncher::CommandFor(const CString& path) {
  CString command;
  for (const char* name : {"VISUAL", "EDITOR"}) {
    const char* value = std::getenv(name);
    if (value && !StrTrim(value).empty()) {
      command = value;
      break;
    }
  }
  std::vector<CString> words;
  CString word;
  for (char c : command) {
    if (c == ' ' || c == '\t') {
      if (!word.empty()) words.push_back(word);
      word.clear();
    } else {
      word += c;
    }
  }
  if (!word.empty()) words.push_back(word);
  if (words.empty()) words.push_back("xdg-open");
  words.push_back(path);
  return words;
}

CString CEditorLauncher::StartErrorMessage(int error) {
  switch (error) {
    case ENOENT: return "File or path is not found.";
    case E2BIG: return "Argument list exceeds 1024 bytes.";
    case ENOEXEC:
    case EACCES: return "Specified file is not executable or has invalid executable-file format.";
    case ENOMEM:
    case EAGAIN: return "Not enough memory is available to execute new process.";
    case EINVAL: return "mode argument is invalid.";
    default: return CString("The text editor could not be started: ") + std::strerror(error);
  }
}

int CEditorLauncher::Open(const CString& path) {
  std::vector<CString> words = CommandFor(path);
  std::vector<char*> argv;
  for (CString& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawnattr_t attributes;
  if (int error = posix_spawnattr_init(&attributes)) return error;
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  pid_t child = 0;
  int error = posix_spawnp(&child, argv[0], nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (error) return error;
  m_LastChild = child;
  return 0;
}
