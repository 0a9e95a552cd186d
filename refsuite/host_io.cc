#include "refsuite/host_io.h"

#include <cstdio>
#include <cstdlib>
#include <memory>

#ifdef _WIN32
#include <windows.h>
#else
#include <unistd.h>
#endif

#include "core/text.h"

namespace refsuite {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

File Open(const std::string& path, const char* mode) {
#ifdef _WIN32
  const wb::String wide_path = wb::FromUtf8(path);
  const wb::String wide_mode = wb::FromUtf8(mode);
  return File(_wfopen(reinterpret_cast<const wchar_t*>(wide_path.c_str()),
                      reinterpret_cast<const wchar_t*>(wide_mode.c_str())));
#else
  return File(std::fopen(path.c_str(), mode));
#endif
}

}  // namespace

uint32_t CurrentProcessId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<uint32_t>(getpid());
#endif
}

std::optional<std::string> GetEnv(const char* name) {
#ifdef _WIN32
  const wb::String wide_name = wb::FromUtf8(name);
  const auto* wname = reinterpret_cast<const wchar_t*>(wide_name.c_str());
  const DWORD size = GetEnvironmentVariableW(wname, nullptr, 0);
  if (size <= 1)
    return std::nullopt;
  wb::String value(size, u'\0');
  const DWORD got = GetEnvironmentVariableW(wname, reinterpret_cast<wchar_t*>(value.data()), size);
  if (got == 0 || got >= size)
    return std::nullopt;
  value.resize(got);
  return wb::ToUtf8(value);
#else
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0')
    return std::nullopt;
  return std::string(value);
#endif
}

std::optional<std::string> ReadTextFile(const std::string& path) {
  File file = Open(path, "rb");
  if (!file)
    return std::nullopt;
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
    text.append(buffer, got);
  if (std::ferror(file.get()))
    return std::nullopt;
  return text;
}

void AppendLine(const std::string& path, const std::string& line) {
  File file = Open(path, "ab");
  if (!file)
    return;
  const std::string with_break = line + "\n";
  std::fwrite(with_break.data(), 1, with_break.size(), file.get());
  std::fflush(file.get());
}

void ReportProblem(const std::string& message) {
  std::fprintf(stderr, "RefSuite: %s\n", message.c_str());
  std::fflush(stderr);
#ifdef _WIN32
  const wb::String wide = wb::FromUtf8("RefSuite: " + message + "\n");
  OutputDebugStringW(reinterpret_cast<const wchar_t*>(wide.c_str()));
#endif
}

}  // namespace refsuite
