// Reading a resident identity card on the reader into the form, then looking
// its number up in the registry.
#include "app/form.h"
#include "app/handler_table.h"
#include "app/ids.h"
#include "app/program.h"
#include "app/program_files.h"
#include "app/records/student_list.h"
#include "app/state.h"
#include "app/statements.h"
#include "app/support.h"
#include "runtime/command_ids.h"
#include "runtime/properties.h"

namespace app::records {

using namespace rt::api;
namespace cmd = rt::cmd;

namespace {

// The reader library's functions and the tone, as the program declares them.
using InitCommFunction = int32_t(int32_t port);
using AuthenticateFunction = int32_t();
using ReadBaseInfosFunction = int32_t(char* name, char* sex, char* nation, char* birth, char* number, char* address,
                                      char* issuer, char* validFrom, char* validTo);
using BeepFunction = int32_t(uint32_t frequency, uint32_t durationMs);
using CloseCommFunction = int32_t();
constexpr int32_t kReaderSuccess = 1;

constexpr uint32_t kToneFrequency = 2100;
constexpr uint32_t kToneMs = 100;
// The form shows the card for a moment before the port is given up.
constexpr int32_t kShowCardMs = 1500;
// A zeroed block the read has always made; no function is given it.
constexpr int32_t kScratchBytes = 192;

// Text bytes of each buffer handed to the reader (a zero byte follows them).
constexpr int32_t kNameBytes = 31, kSexBytes = 3, kNationBytes = 10, kBirthBytes = 9, kNumberBytes = 19,
                  kAddressBytes = 71, kIssuerBytes = 31, kValidFromBytes = 9, kValidToBytes = 9;

// What the reader writes the card into: n spaces and a zero byte each.
struct CardBuffers {
  Text name, sex, nation, birth, number, address, issuer, validFrom, validTo;
};

Text spaces(int32_t count) { return callText(cmd::core(cmd::kSpaces), count); }

CardBuffers emptyCardBuffers() {
  return {spaces(kNameBytes),   spaces(kSexBytes),       spaces(kNationBytes),
          spaces(kBirthBytes),  spaces(kNumberBytes),    spaces(kAddressBytes),
          spaces(kIssuerBytes), spaces(kValidFromBytes), spaces(kValidToBytes)};
}

void closeReader() { callDll<CloseCommFunction>(app::dll::kCloseComm); }

// photo.bmp of the program folder; a missing file empties the picture.
void showPhoto() {
  Text path = programFilePath(files::kCardPhoto);
  Block bytes(call(cmd::core(cmd::kReadFileBytes), path).pointer<void>());
  writeBytes(ui::图片框1, rt::prop::kPicture, bytes.get());
}

Text withoutBlanks(const char* text) {
  return callText(cmd::core(cmd::kReplaceText), text, " ", rt::emptyLiteral(), omitted, omitted, omitted);
}

// The card's YYYYMMDD as year "年" month "月" day "日", month and day with two digits.
Text birthDateText(const char* digits) {
  Text year = callText(cmd::core(cmd::kTextLeft), digits, 4);
  Text month = callText(cmd::core(cmd::kTextMid), digits, 5, 2);
  Text day = callText(cmd::core(cmd::kTextRight), digits, 2);
  return TextConcat(year, "年"_gb, month, "月"_gb, day, "日"_gb);
}

void fillFormFromCard(const CardBuffers& card) {
  setFieldText(form::kName, withoutBlanks(card.name.c_str()).c_str());
  setFieldText(form::kIdentityNumber, card.number.c_str());
  setFieldText(form::kSex, card.sex.c_str());
  setFieldText(form::kNation, card.nation.c_str());
  setFieldText(form::kBirthDate, birthDateText(card.birth.c_str()).c_str());
  setFieldText(form::kAddress, card.address.c_str());
}

// The port is closed on every way out: left open, it would refuse every
// later read until the program ends. A read that the reader does not
// confirm fills nothing, so the form never mixes blanks or another card's
// photo with what it held.
void readCard() {
  if (callDll<InitCommFunction>(app::dll::kInitComm, state().readerPort) != kReaderSuccess) return;
  if (callDll<AuthenticateFunction>(app::dll::kAuthenticate) != kReaderSuccess) {
    closeReader();
    return;
  }
  Block scratch(call(cmd::core(cmd::kZeroBytes), kScratchBytes).pointer<void>());
  CardBuffers card = emptyCardBuffers();
  int32_t read = callDll<ReadBaseInfosFunction>(
      app::dll::kReadBaseInfos, card.name.get(), card.sex.get(), card.nation.get(), card.birth.get(), card.number.get(),
      card.address.get(), card.issuer.get(), card.validFrom.get(), card.validTo.get());
  if (read != kReaderSuccess) {
    closeReader();
    return;
  }
  callDll<BeepFunction>(app::dll::kBeep, kToneFrequency, kToneMs);
  showPhoto();
  fillFormFromCard(card);
  call(cmd::timing(cmd::kDelay), kShowCardMs);
  closeReader();
}

// Exactly one learner whose number contains the form's number: list just
// that learner and show the stored row. Otherwise list and form stay.
void showCardHolder() {
  const Unit& students = ui::记录集学员;
  Text number = fieldText(form::kIdentityNumber);
  recordset::open(students, statements::findStudents(statements::StudentSearch::kIdentityNumber, number.view()));
  if (recordset::count(students) != 1) {
    recordset::close(students);
    return;
  }
  fillStudentListFromOpenRecords();
  writeInt(ui::超级列表框1, rt::prop::kListSelectedRow, 0);
  showSelectedStudent();
}

}  // namespace

}  // namespace app::records

namespace app::handlers {

// The look-up runs also when the read stopped early, on the identity number the form holds.
int32_t onMenuReadCard(const rt::EventArgs&) {
  records::readCard();
  records::showCardHolder();
  return 0;
}

}  // namespace app::handlers
