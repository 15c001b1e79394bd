// The exported functions of libsdtapi.so and the state of its one session:
// the open port and the settings read when it was opened.
#include "reader/sdtapi.h"

#include <dlfcn.h>

#include <filesystem>
#include <mutex>

#include "reader/card_text.h"
#include "reader/photo.h"
#include "reader/serial_port.h"
#include "reader/settings.h"

namespace sdt {
namespace {

static_assert(static_cast<int32_t>(Outcome::kDone) == SDTAPI_SUCCESS);
static_assert(static_cast<int32_t>(Outcome::kNoPort) == SDTAPI_ERROR_PORT);
static_assert(static_cast<int32_t>(Outcome::kTimeout) == SDTAPI_ERROR_TIMEOUT);
static_assert(static_cast<int32_t>(Outcome::kBadFrame) == SDTAPI_ERROR_FRAME);
static_assert(static_cast<int32_t>(Outcome::kRefused) == SDTAPI_ERROR_REFUSED);
static_assert(static_cast<int32_t>(Outcome::kDeviceFailed) == SDTAPI_ERROR_IO);

constexpr auto kCallBound = std::chrono::milliseconds(SDTAPI_CALL_BOUND_MS);
constexpr size_t kFindCardDataBytes = 4;
constexpr size_t kSelectCardDataBytes = 8;

struct Session {
  std::mutex lock;
  SerialPort port;
  ReaderSettings settings;
};
Session& session() {
  static Session s;
  return s;
}

// The folder of this library's own file, where sdtapi.ini lies.
std::filesystem::path libraryFolder() {
  Dl_info info{};
  if (dladdr(reinterpret_cast<void*>(&InitComm), &info) == 0 || !info.dli_fname) return {};
  return std::filesystem::absolute(info.dli_fname).parent_path();
}

int32_t resultOf(Outcome outcome) { return static_cast<int32_t>(outcome); }

// One exchange that must answer with `status` and exactly `dataBytes` data
// bytes (any count when dataBytes is not given).
Outcome expect(Command command, Clock::time_point deadline, uint8_t status, std::optional<size_t> dataBytes,
               Answer& answer) {
  Outcome outcome = session().port.exchange(command, deadline, answer);
  if (outcome != Outcome::kDone) return outcome;
  if (answer.sw1 != 0 || answer.sw2 != 0 || answer.sw3 != status) return Outcome::kRefused;
  if (dataBytes && answer.data.size() != *dataBytes) return Outcome::kBadFrame;
  return Outcome::kDone;
}

Outcome authenticate() {
  Clock::time_point deadline = Clock::now() + kCallBound;
  Answer answer;
  Outcome found = expect(kFindCard, deadline, kStatusCardFound, kFindCardDataBytes, answer);
  if (found != Outcome::kDone) return found;
  return expect(kSelectCard, deadline, kStatusSuccess, kSelectCardDataBytes, answer);
}

Outcome readBaseInfo(BaseInfo& info) {
  Answer answer;
  Outcome outcome = expect(kReadBaseInfo, Clock::now() + kCallBound, kStatusSuccess, std::nullopt, answer);
  if (outcome != Outcome::kDone) return outcome;
  std::optional<BaseInfo> read = baseInfoOf(answer.data);
  if (!read) return Outcome::kBadFrame;
  info = std::move(*read);
  return Outcome::kDone;
}

// A caller's buffer and the text that goes into it.
struct OutputField {
  char* buffer;
  size_t capacity;
  const std::string& text;
};

// No exception may cross into the program.
template <typename Body>
int32_t guarded(Body body) {
  try {
    return body();
  } catch (...) { return SDTAPI_ERROR_IO; }
}

}  // namespace
}  // namespace sdt

using namespace sdt;

extern "C" {

__attribute__((visibility("default"))) int32_t InitComm(int32_t port) {
  return guarded([&] {
    std::lock_guard hold(session().lock);
    session().port.close();
    session().settings = readSettings(libraryFolder());
    std::optional<std::string> device = devicePath(session().settings, port);
    return device && session().port.open(*device) ? SDTAPI_SUCCESS : SDTAPI_ERROR_PORT;
  });
}

__attribute__((visibility("default"))) int32_t Authenticate(void) {
  return guarded([] {
    std::lock_guard hold(session().lock);
    return resultOf(authenticate());
  });
}

__attribute__((visibility("default"))) int32_t ReadBaseInfos(char* name, char* sex, char* nation, char* birth,
                                                             char* number, char* address, char* issuer,
                                                             char* valid_from, char* valid_to) {
  return guarded([&] {
    std::lock_guard hold(session().lock);
    removePhotoFile();
    BaseInfo info;
    Outcome outcome = readBaseInfo(info);
    if (outcome != Outcome::kDone) return resultOf(outcome);
    const CardTexts& t = info.texts;
    const OutputField fields[] = {
        {name, SDTAPI_NAME_BYTES, t.name},
        {sex, SDTAPI_SEX_BYTES, t.sex},
        {nation, SDTAPI_NATION_BYTES, t.nation},
        {birth, SDTAPI_BIRTH_BYTES, t.birth},
        {number, SDTAPI_NUMBER_BYTES, t.number},
        {address, SDTAPI_ADDRESS_BYTES, t.address},
        {issuer, SDTAPI_ISSUER_BYTES, t.issuer},
        {valid_from, SDTAPI_VALID_FROM_BYTES, t.validFrom},
        {valid_to, SDTAPI_VALID_TO_BYTES, t.validTo},
    };
    for (const OutputField& field : fields)
      if (field.buffer) writeCut(field.buffer, field.capacity, field.text);
    if (session().settings.photoDecoder) writePhotoFile(*session().settings.photoDecoder, info.photo);
    return resultOf(outcome);
  });
}

__attribute__((visibility("default"))) int32_t CloseComm(void) {
  return guarded([] {
    std::lock_guard hold(session().lock);
    session().port.close();
    return SDTAPI_SUCCESS;
  });
}

}  // extern "C"
