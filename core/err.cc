#include "core/err.h"

#include <exception>
#include <new>

#include "core/runtime_errors.h"

namespace wb {

ErrRecord& Err::Get() {
  thread_local ErrRecord record;
  return record;
}

void Err::Clear() {
  ErrRecord& r = Get();
  r.number = 0;
  r.source.clear();
  r.description.clear();
  r.help_file.clear();
  r.help_context = 0;
}

void Err::Raise(int32_t number,
                std::optional<String> source,
                std::optional<String> description,
                std::optional<String> help_file,
                std::optional<int32_t> help_context) {
  ErrRecord& r = Get();
  r.number = number != 0 ? number : rt::kInvalidProcedureCall;
  if (source)
    r.source = std::move(*source);
  if (description)
    r.description = std::move(*description);
  if (help_file)
    r.help_file = std::move(*help_file);
  if (help_context)
    r.help_context = *help_context;
  throw RaisedError{};
}

void Err::RaiseRuntime(int32_t number) {
  Raise(number, String(rt::kRuntimeSource), rt::Describe(number), String(), 0);
}

void Err::ReRaise() {
  const ErrRecord r = Get();
  Raise(r.number, r.source, r.description, r.help_file, r.help_context);
}

void Err::CaptureCurrentException() noexcept {
  // Outside a catch block there is nothing in flight (and rethrowing would
  // terminate the process).
  const std::exception_ptr in_flight = std::current_exception();
  if (!in_flight)
    return;
  int32_t number = rt::kInternalError;
  try {
    std::rethrow_exception(in_flight);
  } catch (const RaisedError&) {
    return;
  } catch (const std::bad_alloc&) {
    number = rt::kOutOfMemory;
  } catch (...) {
  }
  // Filling the record may itself fail for lack of memory; the number alone
  // still reports the failure then.
  ErrRecord& r = Get();
  r.number = number;
  try {
    r.source = rt::kRuntimeSource;
    r.description = rt::Describe(number);
  } catch (...) {
    r.source.clear();
    r.description.clear();
  }
  r.help_file.clear();
  r.help_context = 0;
}

}  // namespace wb
